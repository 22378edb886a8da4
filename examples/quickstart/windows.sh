# The quick start for Windows, under Wine, run from the source tree after
# `bash scripts/demo.sh win64`. Wine runs in the project's own prefix, made
# by that first run, and keeps its diagnostics to itself.
export WINEPREFIX="$(bash scripts/wine-prefix.sh)" WINEDEBUG=-all
(cd build/win64 && cpack)
unzip -q -o build/win64/package/velmorin-1.0.0-win64.zip -d ~
cd ~/velmorin-1.0.0-win64
x86_64-w64-mingw32-gcc examples/capitalise.c -Iinclude -Llib -lvelmorin -loleaut32 -o capitalise.exe
cp bin/VELMORIN.DLL .
wine capitalise.exe "dit is een zin."
