"""Print where the Python package malha goes under an install prefix.

Usage: python3 cmake/python_site.py PREFIX

Prints the folder, relative to PREFIX, among those where this Python looks
for packages (its site folders and the user's), so that an install there is
imported without PYTHONPATH: lib/python3/dist-packages under /usr,
lib/python3.X/dist-packages under /usr/local, lib/python3.X/site-packages
under ~/.local. Under any other prefix, lib/python3/dist-packages.
"""
import os
import site
import sys

prefix = os.path.realpath(sys.argv[1])
for folder in [site.getusersitepackages(), *site.getsitepackages()]:
    relative = os.path.relpath(os.path.realpath(folder), prefix)
    if relative.startswith("lib" + os.sep):
        print(relative)
        break
else:
    print("lib/python3/dist-packages")
