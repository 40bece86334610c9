"""docs/product-folder.md against what it describes: its minimal example is
tests/products/minimal file for file (the icon as its script writes it), and
its configuration table has a row for every field the generator reads.

Usage: product_page_test.py PROJECT_ROOT
"""

import os
import re
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True


def page_files(page):
    """The example's files: a line **`name`**, a blank line, a fenced block."""
    pattern = re.compile(r"^\*\*`([^`]+)`\*\*\n\n```[a-z]*\n(.*?)^```$", re.M | re.S)
    return {name: text for name, text in pattern.findall(page)}


def main(root):
    with open(os.path.join(root, "docs", "product-folder.md"), encoding="utf-8") as f:
        page = f.read()
    folder = os.path.join(root, "tests", "products", "minimal")
    failures = []

    files = page_files(page)
    kept = {name for name in os.listdir(folder) if name not in (".gitignore", "minimal.ico", "minimal.exe")}
    if set(files) != kept:
        failures.append("the page shows %s, the folder holds %s" % (sorted(files), sorted(kept)))
    for name, text in files.items():
        path = os.path.join(folder, name)
        if os.path.exists(path):
            with open(path, encoding="utf-8", newline="") as f:
                if f.read() != text:
                    failures.append("%s differs between the page and %s" % (name, folder))

    if "make-icon.py" in files:
        with tempfile.TemporaryDirectory() as scratch:
            with open(os.path.join(scratch, "make-icon.py"), "w", encoding="utf-8") as f:
                f.write(files["make-icon.py"])
            subprocess.run([sys.executable, "-B", "make-icon.py"], cwd=scratch, check=True)
            with open(os.path.join(scratch, "minimal.ico"), "rb") as made, \
                    open(os.path.join(folder, "minimal.ico"), "rb") as kept_icon:
                if made.read() != kept_icon.read():
                    failures.append("the page's make-icon.py does not write the folder's minimal.ico")

    with open(os.path.join(root, "tools", "payloadgen", "description.cpp"), encoding="utf-8") as f:
        fields = re.findall(r'\{"(\w+)", FieldKind::', f.read())
    if len(fields) != 15:
        failures.append("expected 15 configuration fields in description.cpp, found %d" % len(fields))
    for field in fields:
        if not re.search(r"^\| `%s` \|" % field, page, re.M):
            failures.append("the configuration table has no row for %s" % field)

    for failure in failures:
        print("product_page_test: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
