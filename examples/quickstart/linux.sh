# The quick start on Linux, run from the source tree after `bash scripts/demo.sh`.
cmake --install build/linux --prefix ~/velmorin
cc examples/c/capitalise.c -I ~/velmorin/include -L ~/velmorin/lib -lvelmorin -lwinstandin \
   -Wl,-rpath,"$HOME/velmorin/lib" -o ~/capitalise
~/capitalise "dit is een zin."

cmake --build --preset linux --target wheel
/usr/bin/python3 -m venv ~/velmorin-venv
~/velmorin-venv/bin/pip install --quiet build/linux/out/velmorin-1.0.0-py3-none-manylinux_2_34_x86_64.whl
~/velmorin-venv/bin/python -c 'import velmorin; print(velmorin.capitalise(b"dit is een zin."))'
