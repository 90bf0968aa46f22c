"""The documentation as installed: every relative link of every installed Markdown page leads to
a file that is installed too, and the README installed is the project's README.

Run by ctest with CMAKE (the cmake program) and VARNEL_BUILD (a built tree) in the environment;
the tree is installed to a scratch prefix.
"""
import os
import pathlib
import re
import subprocess

import pytest

BUILD = os.environ["VARNEL_BUILD"]
ROOT = pathlib.Path(os.environ["VARNEL_ROOT"])
# [text](target) and [text](target "title"); images too.
LINK = re.compile(r"\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    prefix = tmp_path_factory.mktemp("prefix")
    subprocess.run([os.environ["CMAKE"], "--install", BUILD, "--prefix", str(prefix)],
                   check=True, capture_output=True)
    return prefix


def pages(prefix):
    return sorted(p for p in prefix.rglob("*.md") if p.is_file())


def test_the_installed_readme_is_the_projects(prefix):
    readme = prefix / "share" / "doc" / "varnel" / "README.md"
    assert readme.read_bytes() == (ROOT / "README.md").read_bytes()


def test_every_relative_link_leads_to_an_installed_file(prefix):
    checked, broken = 0, []
    for page in pages(prefix):
        for target in LINK.findall(page.read_text(encoding="utf-8")):
            if re.match(r"[a-z][a-z0-9+.-]*:", target) or target.startswith("#"):
                continue  # a URL, or a place on the same page
            path = target.split("#", 1)[0]
            checked += 1
            if not (page.parent / path).exists():
                broken.append(f"{page.relative_to(prefix)}: {target}")
    assert checked > 10
    assert not broken, broken
