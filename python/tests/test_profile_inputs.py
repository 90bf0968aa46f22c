"""check_profile reads its CSV files and DataFrames as `varnel profile` reads its files: the
inputs the command refuses are refused here in its words, and what it keeps (tower names such
as NA and null) is kept. Each case runs the command too."""

import os
import pathlib
import subprocess

import pytest

import varnel

pd = pytest.importorskip("pandas")

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"
PROFILE = SAMPLES / "profile"
AREA = "典型气象区Ⅵ"
CONDUCTOR = "JL/G1A-240/30"


def command():
    given = os.environ.get("VARNEL")
    if given:
        return given
    for preset in ("release", "native"):
        path = ROOT / "build" / preset / "bin" / "varnel"
        if path.is_file():
            return str(path)
    pytest.skip("no varnel command built (set VARNEL)")


@pytest.fixture(scope="module")
def inputs():
    area = next(a for a in varnel.load_weather_areas(str(SAMPLES / "weather_areas.dbf"))
                if a.name == AREA)
    conductor = next(c for c in varnel.load_conductors(str(SAMPLES / "conductors.dbf"))
                     if c.name == CONDUCTOR)
    return area, conductor


def run_command(terrain, towers, crossings=None, *extra):
    args = [command(), "profile", "--terrain", str(terrain), "--towers", str(towers),
            "--areas", str(SAMPLES / "weather_areas.dbf"), "--area", AREA,
            "--conductors", str(SAMPLES / "conductors.dbf"), "--conductor", CONDUCTOR,
            "--json", *extra]
    if crossings is not None:
        args += ["--crossings", str(crossings)]
    return subprocess.run(args, capture_output=True, timeout=120)


def towers_text():
    return (PROFILE / "towers.csv").read_text(encoding="utf-8")


def with_cell(column, row, value):
    """The sample's towers with one cell of `column` on data row `row` (1 for the first)."""
    lines = towers_text().splitlines()
    header = lines[0].split(",")
    cells = lines[row].split(",")
    cells[header.index(column)] = value
    lines[row] = ",".join(cells)
    return "\n".join(lines) + "\n"


# (what, the towers file's text): each one the command refuses.
REFUSED = [
    ("a misspelt max_swing_deg", towers_text().replace("max_swing_deg", "max_swng_deg", 1)),
    ("True for a height", with_cell("arm_height_m", 3, "True")),
    ("a string longer than its arm", with_cell("insulator_length_m", 2, "24.5")),
    ("a swing limit named twice",
     towers_text().replace("max_swing_deg", "max_swing_大风_deg,max_swing_大风_deg", 1)
     .replace("\n", ",\n").replace("_deg,\n", "_deg\n", 1)),
    ("a kind no tower has", with_cell("kind", 4, "pylon")),
]


@pytest.mark.parametrize("what,text", REFUSED, ids=[w for w, _ in REFUSED])
def test_a_file_the_command_refuses_is_refused_in_its_words(inputs, tmp_path, what, text):
    area, conductor = inputs
    towers = tmp_path / "towers.csv"
    towers.write_text(text, encoding="utf-8")
    ran = run_command(PROFILE / "terrain.csv", towers)
    assert ran.returncode != 0, what
    said = ran.stderr.decode("utf-8").strip().splitlines()[-1]
    assert said.startswith("varnel: " + str(towers) + ": line ")
    with pytest.raises(ValueError) as refused:
        varnel.check_profile(str(PROFILE / "terrain.csv"), str(towers), conductor, area)
    assert "varnel: " + str(refused.value) == said
    # The same table as a DataFrame (as pandas reads the file) is refused in the same words,
    # named "towers" in place of the file.
    try:
        frame = pd.read_csv(towers, dtype={"name": str}, keep_default_na=False,
                            na_values=[""])
    except ValueError:  # pandas refuses the file itself (a column named twice)
        return
    if frame.columns.duplicated().any() or any(c.endswith(".1") for c in frame.columns):
        return  # pandas renamed the second column: the DataFrame no longer holds the fault
    with pytest.raises(ValueError) as again:
        varnel.check_profile(pd.read_csv(PROFILE / "terrain.csv"), frame, conductor, area)
    assert str(again.value) == str(refused.value).replace(str(towers), "towers", 1)


def test_tower_names_na_and_null_stay_names(inputs, tmp_path):
    area, conductor = inputs
    towers = tmp_path / "towers.csv"
    towers.write_text(with_cell("name", 1, "NA").replace("\nN2,", "\nnull,", 1),
                      encoding="utf-8")
    ran = run_command(PROFILE / "terrain.csv", towers)
    assert ran.returncode == 0, ran.stderr.decode("utf-8", "replace")
    import json

    theirs = [t["name"] for t in json.loads(ran.stdout.decode("utf-8"))["towers"]]
    line = varnel.check_profile(str(PROFILE / "terrain.csv"), str(towers), conductor, area)
    mine = list(dict.fromkeys(line.towers["name"]))
    assert mine[:2] == ["NA", "null"]
    assert mine == theirs
    assert list(line.spans["from"])[:2] == ["NA", "null"]


def test_a_file_without_end_is_refused_at_the_commands_limit(inputs):
    area, conductor = inputs
    if not os.path.exists("/dev/zero"):
        pytest.skip("no /dev/zero")
    ran = run_command("/dev/zero", PROFILE / "towers.csv")
    said = ran.stderr.decode("utf-8").strip().splitlines()[-1]
    assert ran.returncode != 0 and said == "varnel: /dev/zero: larger than 64 MB"
    with pytest.raises(ValueError) as refused:
        varnel.check_profile("/dev/zero", str(PROFILE / "towers.csv"), conductor, area)
    assert "varnel: " + str(refused.value) == said


@pytest.mark.parametrize("column,value,words", [
    ("arm_height_m", "400", '"400" is a text, not a number'),
    ("arm_height_m", True, '"True" is not a number'),
    ("insulator_weight_N", float("inf"), '"inf" is not a number'),
    ("name", None, "empty"),
])
def test_dataframe_cells_are_what_they_are_typed(inputs, column, value, words):
    """A DataFrame's cell is read as what it holds: the text "400" and the truth value True
    are no heights (pandas would make 400.0 and 1.0 of them); a missing name is an empty cell."""
    area, conductor = inputs
    frame = pd.read_csv(PROFILE / "towers.csv").astype({column: object})
    frame.at[2, column] = value
    at = list(frame.columns).index(column) + 1
    with pytest.raises(ValueError) as refused:
        varnel.check_profile(pd.read_csv(PROFILE / "terrain.csv"), frame, conductor, area)
    assert str(refused.value) == f"towers: line 4, column {at} ({column}): {words}"


def test_duplicate_condition_names_are_refused(inputs):
    area, conductor = inputs
    twice = [area.conditions[0], varnel.Condition(area.conditions[0].name, 0, 10, 15)]
    with pytest.raises(ValueError, match="two are named"):
        varnel.check_profile(str(PROFILE / "terrain.csv"), str(PROFILE / "towers.csv"),
                             conductor, twice)


def test_the_readers_warning_is_the_commands(inputs, tmp_path):
    area, conductor = inputs
    towers = tmp_path / "towers.csv"
    text = towers_text().splitlines()
    text[0] += ",ground_elevation_m"
    text[1:] = [row + ("," + "150" if i == 2 else ",") for i, row in enumerate(text[1:], 1)]
    towers.write_text("\n".join(text) + "\n", encoding="utf-8")
    ran = run_command(PROFILE / "terrain.csv", towers)
    assert ran.returncode == 0, ran.stderr.decode("utf-8", "replace")
    theirs = [w[len("varnel: warning: "):] for w in ran.stderr.decode("utf-8").splitlines()
              if w.startswith("varnel: warning: ") and "ground_elevation_m" in w]
    with pytest.warns(UserWarning) as caught:
        varnel.check_profile(str(PROFILE / "terrain.csv"), str(towers), conductor, area)
    mine = [str(w.message) for w in caught if "ground_elevation_m" in str(w.message)]
    assert len(mine) == 1 and mine == theirs
