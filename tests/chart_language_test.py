"""varnel's charts in each language (--lang en|zh): the sag table's curves, the stringing chart
and the profile drawing.

Every text of a chart is read back with an XML parser, the names that come from the tables
(areas, conductors, conditions, towers, crossings) are taken out, and what is left must be the
chart's own language alone: no Chinese in an English chart; in a Chinese chart no English word,
only units, formula symbols and option names. Without --lang a chart is the English one, byte
for byte, as it was before the option. The curves themselves do not depend on the language.

Run by ctest with VARNEL (the program) and VARNEL_ROOT (the source tree) in the environment.
"""
import csv
import json
import os
import re
import subprocess
import xml.etree.ElementTree as ET

import pytest

VARNEL = os.path.abspath(os.environ["VARNEL"])
SAMPLES = os.path.join(os.environ["VARNEL_ROOT"], "samples")
PROFILE = os.path.join(SAMPLES, "profile")
AREAS = os.path.join(SAMPLES, "weather_areas.dbf")
CONDUCTORS = os.path.join(SAMPLES, "conductors.dbf")
AREA = "典型气象区Ⅵ"
CONDUCTOR = "JL/G1A-240/30"
DESIGN = ["--areas", AREAS, "--area", AREA, "--conductors", CONDUCTORS, "--conductor", CONDUCTOR]
LINE = ["--terrain", os.path.join(PROFILE, "terrain.csv"),
        "--towers", os.path.join(PROFILE, "towers.csv"),
        "--crossings", os.path.join(PROFILE, "crossings.csv"), "--ground-clearance", "7"]
SVG_NS = "{http://www.w3.org/2000/svg}"

# Chinese characters and the full-width punctuation that goes with them.
CHINESE = re.compile(r"[\u3000-\u303f\u3400-\u9fff\uff00-\uffef]")
# What a Chinese chart may write in Latin letters: units, formula symbols, the code's name.
LATIN_ALLOWED = {"cos", "tan", "px", "mm", "GB"}

# (name, command and its arguments): each draws its chart to the file given after --svg.
CHARTS = [
    ("sag parabola", ["sag-table"] + DESIGN + ["--spans", "50:800:10"]),
    ("sag catenary", ["sag-table"] + DESIGN + ["--spans", "100:1200:50", "--model", "catenary"]),
    ("stringing parabola", ["section"] + DESIGN + ["--section", os.path.join(SAMPLES, "section.csv")]),
    ("stringing catenary", ["section"] + DESIGN + ["--section", os.path.join(SAMPLES, "section.csv"),
                                                   "--model", "catenary", "--compensate", "20"]),
    ("profile", ["profile"] + DESIGN + LINE),
    ("profile parabola, 15 m, fixed alpha",
     ["profile"] + DESIGN + LINE + ["--model", "parabola", "--wind-height", "15",
                                    "--alpha-loads", "0.75"]),
    # A drawing too tight for all its labels says how many it left out.
    ("profile narrow", ["profile"] + DESIGN + LINE + ["--exaggeration", "1", "--max-temperature", "120"]),
]


def run(args):
    result = subprocess.run([VARNEL] + args, capture_output=True, timeout=120)
    assert result.returncode == 0, result.stderr.decode("utf-8", "replace")
    return result.stdout


def table_names(args):
    """Every name the tables give the chart: the area, the conductor, the conditions, and the
    profile's towers and crossings; and the condition of the conductor's temperature."""
    names = {AREA, CONDUCTOR}
    names.update(c["name"] for a in json.loads(run(["areas", AREAS, "--json"]))["areas"]
                 if a["name"] == AREA for c in a["conditions"])
    names.add("覆冰无风")  # the sag table's ice without wind
    if args[0] == "profile":
        # The conductor's temperature is a condition the command adds, named as in its other
        # outputs (导线温度 80 °C), in either language.
        names.update(c["name"] for c in json.loads(run(args + ["--json"]))["conditions"])
        for name in ("towers.csv", "crossings.csv"):
            with open(os.path.join(PROFILE, name), encoding="utf-8", newline="") as f:
                names.update(row["name"] for row in csv.DictReader(f))
    return sorted(names, key=len, reverse=True)


def draw(args, tmp_path, lang):
    svg = tmp_path / f"chart-{lang or 'default'}.svg"
    run(args + ["--svg", str(svg)] + (["--lang", lang] if lang else []))
    return svg.read_bytes()


def texts(svg_bytes):
    root = ET.fromstring(svg_bytes)
    return ["".join(t.itertext()) for t in root.iter(SVG_NS + "text")]


def without_names(text, names):
    for n in names:
        text = text.replace(n, " ")
    return text


@pytest.mark.parametrize("name,args", CHARTS, ids=[c[0] for c in CHARTS])
def test_each_language_alone(name, args, tmp_path):
    names = table_names(args)
    english = draw(args, tmp_path, "en")
    chinese = draw(args, tmp_path, "zh")
    # Without the option the chart is the English one.
    assert draw(args, tmp_path, None) == english

    en_texts = [without_names(t, names) for t in texts(english)]
    zh_texts = [without_names(t, names) for t in texts(chinese)]
    assert len(en_texts) == len(zh_texts)
    for t in en_texts:
        assert not CHINESE.search(t), t
    for t in zh_texts:
        # Option names stay as the command spells them.
        words = re.findall(r"[A-Za-z]{2,}", re.sub(r"--[a-z-]+", " ", t))
        assert all(w in LATIN_ALLOWED for w in words), t
    # The title and the axes speak the language: the first text is the title.
    assert CHINESE.search(zh_texts[0]) and re.search(r"[a-z]{3}", en_texts[0])
    # The tables' names are drawn as they are in both.
    for doc in (english, chinese):
        assert CONDUCTOR in doc.decode("utf-8")


@pytest.mark.parametrize("name,args", CHARTS[:4], ids=[c[0] for c in CHARTS[:4]])
def test_the_curves_do_not_depend_on_the_language(name, args, tmp_path):
    def curves(svg_bytes):
        root = ET.fromstring(svg_bytes)
        return [(p.get("data-condition") or p.get("data-span"), p.get("d"))
                for p in root.iter(SVG_NS + "path") if p.get("class") == "curve"]
    en = curves(draw(args, tmp_path, "en"))
    assert en and en == curves(draw(args, tmp_path, "zh"))


def test_sag_chart_names_each_range_by_its_condition_in_chinese(tmp_path):
    """300 m in area VI is controlled by 覆冰: 覆冰控制 in Chinese, 覆冰 controls in English."""
    args = ["sag-table"] + DESIGN + ["--spans", "300:300:1"]
    for lang, want in (("zh", "覆冰控制"), ("en", "覆冰 controls")):
        root = ET.fromstring(draw(args, tmp_path, lang))
        ranges = [t.text for t in root.iter(SVG_NS + "text") if t.get("class") == "control-range"]
        assert ranges == [want, want]  # once above each panel


def test_profile_legend_and_band_in_chinese(tmp_path):
    root = ET.fromstring(draw(["profile"] + DESIGN + LINE, tmp_path, "zh"))
    legend = [t.text for t in root.iter(SVG_NS + "text") if t.get("class") == "legend"]
    assert legend[:2] == ["地面", "导线"]
    band = [t.text for t in root.iter(SVG_NS + "text") if t.get("class") == "band-title"]
    assert band == ["杆塔", "里程 (m)", "挂线高 (m)", "档距 (m)", "耐张段"]


def test_an_unknown_language_is_refused(tmp_path):
    result = subprocess.run([VARNEL, "sag-table"] + DESIGN + ["--spans", "300:300:1", "--svg",
                             str(tmp_path / "x.svg"), "--lang", "fr"], capture_output=True)
    assert result.returncode == 2
    assert b"--lang" in result.stderr and not (tmp_path / "x.svg").exists()


def test_every_kind_of_violation_is_noted_in_each_language(tmp_path):
    """N8 lowered to 2 m is pulled up, N14 raised to 60 m makes its spans steep, and a safety
    factor of 4 at the supports makes every iced span's support stress a violation: all five
    kinds are drawn, each note in the drawing's language."""
    with open(os.path.join(PROFILE, "towers.csv"), encoding="utf-8") as f:
        rows = f.read().splitlines()
    changed = [rows[0]]
    for row in rows[1:]:
        cells = row.split(",")
        cells[3] = {"N8": "2.0", "N14": "60.0"}.get(cells[0], cells[3])
        changed.append(",".join(cells))
    towers = tmp_path / "towers.csv"
    towers.write_text("\n".join(changed) + "\n", encoding="utf-8")
    args = (["profile"] + DESIGN + ["--terrain", os.path.join(PROFILE, "terrain.csv"),
            "--towers", str(towers), "--crossings", os.path.join(PROFILE, "crossings.csv"),
            "--ground-clearance", "7", "--suspension-safety", "4"])
    kinds = {v["kind"] for v in json.loads(run(args + ["--json"]))["violations"]}
    assert kinds >= {"ground", "swing", "uplift", "suspension_point"}
    names = table_names(args)
    for lang, words in (("en", ["to ground", "swing", "uplift, weight span", "N up", "at a support"]),
                        ("zh", ["对地", "摇摆角", "上拔，垂直档距", "上拔力", "悬挂点应力"])):
        root = ET.fromstring(draw(args, tmp_path, lang))
        notes = [t.text for t in root.iter(SVG_NS + "text") if "violation" in (t.get("class") or "")]
        for word in words:
            assert any(word in n for n in notes), (lang, word)
        for n in notes:
            rest = without_names(n, names)
            if lang == "en":
                assert not CHINESE.search(rest), n
            else:
                assert all(w in LATIN_ALLOWED for w in re.findall(r"[A-Za-z]{2,}", rest)), n
