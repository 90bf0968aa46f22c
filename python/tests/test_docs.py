"""docs/python.md's example sessions run against the package built: the version it shows is
varnel.__version__, and every figure in them is the package's."""

import doctest
import pathlib
import re

import pytest

import varnel

ROOT = pathlib.Path(__file__).resolve().parents[2]
DOC = ROOT / "docs" / "python.md"


def sessions():
    text = DOC.read_text(encoding="utf-8")
    # A blank line inside a session is a blank line of output (the control account's).
    return [re.sub(r"(?m)^$", "<BLANKLINE>", block.rstrip("\n"))
            for block in re.findall(r"```pycon\n(.*?)```", text, re.S)]


def test_the_docs_show_the_packages_version():
    shown = re.findall(r">>> varnel\.__version__\n'([^']*)'", DOC.read_text(encoding="utf-8"))
    assert shown == [varnel.__version__]


@pytest.mark.parametrize("index", range(len(sessions())))
def test_the_example_session_gives_what_the_docs_show(index, monkeypatch):
    pytest.importorskip("pandas")
    monkeypatch.chdir(ROOT)  # the session's paths are the source tree's
    test = doctest.DocTestParser().get_doctest(sessions()[index], {}, f"session {index}",
                                               str(DOC), 0)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test)
    result = runner.summarize(verbose=False)
    assert result.attempted > 10 and result.failed == 0
