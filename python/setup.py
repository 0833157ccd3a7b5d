"""Builds the native module with the project's CMake build and packs what it assembled."""

import os
import pathlib
import re
import shutil
import subprocess

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent.parent
BUILD = pathlib.Path(os.environ.get("TALVEX_BUILD_DIR", SOURCE / "build")).resolve()
SCRATCH = BUILD / "python-setuptools"  # setuptools' own files, kept out of the sources
SCRATCH.mkdir(parents=True, exist_ok=True)


def version():
    text = (SOURCE / "CMakeLists.txt").read_text()
    return re.search(r"project\(talvex VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        if not (BUILD / "CMakeCache.txt").exists():
            subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(BUILD), "-G", "Ninja",
                            "-DCMAKE_BUILD_TYPE=Release"], check=True)
        subprocess.run(["cmake", "--build", str(BUILD), "--target", "talvex_python"], check=True)
        built = BUILD / "python" / "talvex"
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).parent
        target.mkdir(parents=True, exist_ok=True)
        for item in built.iterdir():
            if item.suffix in (".so", ".pyi"):
                shutil.copy2(item, target / item.name)


setup(
    version=version(),
    options={"build": {"build_base": str(SCRATCH)}, "egg_info": {"egg_base": str(SCRATCH)}},
    packages=["talvex"],
    package_data={"talvex": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("talvex._talvex", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
