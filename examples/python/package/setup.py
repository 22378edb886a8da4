# The wheel holds a native library, so it is tagged for one platform (and
# any Python 3, as the module itself is pure Python over ctypes). The
# platform tag comes from make_wheel.py for a Windows library built here.
import os

from setuptools import Distribution, setup
from wheel.bdist_wheel import bdist_wheel


class NativeDistribution(Distribution):
    """Installed as a platform's package: the module beside its library."""

    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    def finalize_options(self):
        if os.environ.get("VELMORIN_WHEEL_PLATFORM"):
            self.plat_name = os.environ["VELMORIN_WHEEL_PLATFORM"]
        super().finalize_options()

    def get_tag(self):
        return "py3", "none", super().get_tag()[2]


setup(distclass=NativeDistribution, cmdclass={"bdist_wheel": PlatformWheel})
