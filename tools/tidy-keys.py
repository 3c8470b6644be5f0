#!/usr/bin/env python3
"""Prints "KEY<TAB>FILE" for each source file given on standard input (one per line): a digest of
everything clang-tidy's verdict on it depends on. That is the clang-tidy version, the checks'
configuration, the compile command, and the translation unit as clang's preprocessor expands
it, so that a change in any header it includes changes the key. The source tree's and the build
folder's own paths are taken out first, so that a checkout elsewhere gets the same keys. A file
whose preprocessing fails gets no line: it is always checked.

usage: tidy-keys.py ROOT BUILD CLANG-TIDY < files
"""
import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys


def main():
    root, build, tidy = sys.argv[1:4]
    files = [line.strip() for line in sys.stdin if line.strip()]
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        commands = {entry["file"]: entry for entry in json.load(f)}
    version = subprocess.run([tidy, "--version"], capture_output=True, check=False).stdout
    with open(os.path.join(root, ".clang-tidy"), "rb") as f:
        config = f.read()

    def neutral(data):
        return data.replace(build.encode(), b"@BUILD@").replace(root.encode(), b"@ROOT@")

    def key(path):
        entry = commands.get(path)
        if entry is None:
            return None
        args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
        # The compiler's own output file does not matter; the preprocessor's goes to a pipe.
        kept = []
        skip = False
        for arg in args[1:]:
            if skip:
                skip = False
                continue
            if arg in ("-o", "-c"):
                skip = arg == "-o"
                continue
            kept.append(arg)
        expanded = subprocess.run(["clang++", "-E", "-P", "-Wno-everything", *kept],
            cwd=entry["directory"], capture_output=True, check=False)
        if expanded.returncode != 0:
            return None
        digest = hashlib.sha256()
        for part in (version, config, neutral(" ".join(kept).encode()), neutral(expanded.stdout)):
            digest.update(hashlib.sha256(part).digest())
        return digest.hexdigest()

    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        for path, digest in zip(files, pool.map(key, files)):
            if digest:
                print(f"{digest}\t{path}")


if __name__ == "__main__":
    main()
