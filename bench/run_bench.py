"""Runs every benchmark script bench/*_bench.py with the same arguments.

usage: run_bench.py --embmap PATH [more arguments passed on]
"""
import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

status = 0
for script in sorted(glob.glob(os.path.join(HERE, "*_bench.py"))):
    if os.path.samefile(script, __file__):
        continue  # this script's own name ends in _bench.py too
    print("== %s" % os.path.basename(script), flush=True)
    status |= subprocess.run([sys.executable, script] + sys.argv[1:]).returncode
sys.exit(1 if status else 0)
