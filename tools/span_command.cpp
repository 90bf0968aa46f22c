// varnel span: one span's curve for one horizontal stress and specific load, by either model:
// its low point, the supports' heights, stresses and angles, the largest sag and the length, and
// with --points the curve itself as a table.
#include <fmt/format.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "calc/span_curve.h"
#include "tools/command.h"
#include "tools/text_table.h"
#include "tools/tool_error.h"

namespace varnel::tool {

namespace {

struct SpanOptions {
    double span = 0;
    double heightDifference = 0;
    double stress = 0;
    double load = 0;
    double horizontalLoad = 0;
    std::string model = "catenary";
    int points = 0;  // 0: no table
    bool json = false;
};

double degrees(double radians) {
    return radians * (180 / std::numbers::pi);
}

// The curve at points + 1 evenly spaced abscissas, the last exactly at the far support.
double abscissa(const SpanCurve& curve, int i, int points) {
    return i == points ? curve.span() : curve.span() * i / points;
}

// The curve's table: its low point and supports, the largest sag and the length, and with
// `points` the curve itself.
std::string curveBody(const SpanCurve& c, int points) {
    TextTable table({"", "from near m", "above low point m", "stress N/mm\u00B2", "angle \u00B0",
                     "vertical N/mm\u00B2"},
                    {false, true, true, true, true, true});
    table.addRow(
        {"low point", number(c.lowPoint(), 4), number(0, 4), number(c.stress(), 4), "", ""});
    table.addRow({"near support", number(0, 4), number(c.nearHeightAboveLowPoint(), 4),
                  number(c.nearStress(), 4), number(degrees(c.nearAngle()), 4),
                  number(c.nearVerticalStress(), 4)});
    table.addRow({"far support", number(c.span(), 4), number(c.farHeightAboveLowPoint(), 4),
                  number(c.farStress(), 4), number(degrees(c.farAngle()), 4),
                  number(c.farVerticalStress(), 4)});
    std::string out = table.aligned();
    out += fmt::format("\nlargest sag {} m at {} m from the near support\nlength {} m\n",
                       number(c.maxSag(), 4), number(c.maxSagAt(), 4), number(c.length(), 4));
    if (points == 0) return out;
    TextTable curve({"x m", "height m", "sag m"}, {true, true, true});
    for (int i = 0; i <= points; ++i) {
        const double x = abscissa(c, i, points);
        // + 0.0: the near support's height is −0 by the catenary's formula.
        curve.addRow({number(x, 3), number(c.heightAt(x) + 0.0, 4), number(c.sagAt(x) + 0.0, 4)});
    }
    return out + "\nheight above the near support, sag below the chord\n" + curve.aligned();
}

std::string curveText(const SpanCurve& c, int points) {
    const double h = c.heightDifference();
    return fmt::format(
               "Span {} m, far support {} m {}, horizontal stress {} N/mm\u00B2, specific load {} "
               "N/(m\u00B7mm\u00B2)\nmodel {}, parameter p = {} m\n\n",
               shortNumber(c.span()), shortNumber(std::fabs(h)), h < 0 ? "lower" : "higher",
               shortNumber(c.stress()), shortNumber(c.load()), spanModelName(c.model()),
               number(c.parameter(), 3)) +
           curveBody(c, points);
}

Json curveJson(const SpanCurve& c) {
    Json doc{{"model", spanModelName(c.model())},
             {"low_point_m", c.lowPoint()},
             {"near_height_above_low_point_m", c.nearHeightAboveLowPoint()},
             {"far_height_above_low_point_m", c.farHeightAboveLowPoint()},
             {"max_sag_m", c.maxSag()},
             {"max_sag_at_m", c.maxSagAt()},
             {"length_m", c.length()},
             {"near_stress_N_per_mm2", c.nearStress()},
             {"far_stress_N_per_mm2", c.farStress()},
             {"near_angle_deg", degrees(c.nearAngle())},
             {"far_angle_deg", degrees(c.farAngle())}};
    return doc;
}

// The document `head` with the curve's points after it, each written as it is computed: a
// million points are a hundred megabytes as one Json value, a line at a time here.
template <typename Point>
void writeJson(ResultStream& out, const Json& head, int points, Point point) {
    if (points == 0) {
        out.write(jsonDocument(head));
        return;
    }
    JsonStream doc([&out](std::string_view text) { out.write(text); }, head);
    doc.beginArray("points");
    for (int i = 0; i <= points; ++i) doc.add(point(i));
    doc.endArray();
    doc.end();
}

void writeCurveJson(ResultStream& out, const SpanCurve& c, int points) {
    writeJson(out, curveJson(c), points, [&](int i) {
        const double x = abscissa(c, i, points);
        return Json{{"x_m", x}, {"height_m", c.heightAt(x)}, {"sag_m", c.sagAt(x)}};
    });
}

// The curve swung by a horizontal load: the in-plane curve's figures above (x along the plane's
// span), then the swing and the largest sag's parts, x horizontal from the near support.
std::string swungText(const SwungCurve& c, double span, double heightDifference, double stress,
                      double verticalLoad, double horizontalLoad, int points) {
    std::string out = fmt::format(
        "Span {} m, far support {} m {}, vertical load {} and horizontal {} N/(m\u00B7mm\u00B2): "
        "the resultant {} at \u03B7 = {}\u00B0 from the vertical\n",
        shortNumber(span), shortNumber(std::fabs(heightDifference)),
        heightDifference < 0 ? "lower" : "higher", shortNumber(verticalLoad),
        shortNumber(horizontalLoad), number(c.load(), 6), number(degrees(c.swing()), 4));
    out += fmt::format("model {}, stress {} N/mm\u00B2 square to the load, parameter p = {} m\n",
                       spanModelName(c.inPlane().model()), shortNumber(stress),
                       number(c.inPlane().parameter(), 3));
    out += c.inPlane().model() == SpanModel::catenary
               ? fmt::format(
                     "In the plane of the load and the chord: span {} m, height "
                     "difference {} m; below, x along that span and heights against "
                     "the load\n\n",
                     number(c.planeSpan().span, 4), number(c.planeSpan().heightDifference, 4))
               : std::string(
                     "The parabola keeps the span and its height difference as they "
                     "stand, the resultant load along its sag\n\n");
    out += curveBody(c.inPlane(), 0);
    out += fmt::format(
        "\nswung: the largest sag {} m along the load at {} m horizontally from the near "
        "support, {} m of it vertical and {} m sideways\n",
        number(c.maxSag(), 4), number(c.maxSagAt(), 4), number(c.verticalMaxSag(), 4),
        number(c.sidewaysMaxSag(), 4));
    if (points == 0) return out;
    TextTable curve({"x m", "height m", "sag m", "vertical m", "sideways m"},
                    {true, true, true, true, true});
    for (int i = 0; i <= points; ++i) {
        const double x = i == points ? span : span * i / points;
        curve.addRow({number(x, 3), number(c.heightAt(x) + 0.0, 4), number(c.sagAt(x) + 0.0, 4),
                      number(c.verticalSagAt(x) + 0.0, 4), number(c.sidewaysAt(x) + 0.0, 4)});
    }
    return out +
           "\nx horizontal from the near support; height above it; sag along the load below the "
           "chord, and its vertical and sideways parts\n" +
           curve.aligned();
}

void writeSwungJson(ResultStream& out, const SwungCurve& c, double span, double verticalLoad,
                    double horizontalLoad, int points) {
    Json doc = curveJson(c.inPlane());
    // x horizontal from the near support, whatever the plane.
    doc["low_point_m"] = c.lowPoint();
    doc["max_sag_at_m"] = c.maxSagAt();
    doc["vertical_load_N_per_m_mm2"] = verticalLoad;
    doc["horizontal_load_N_per_m_mm2"] = horizontalLoad;
    doc["load_N_per_m_mm2"] = c.load();
    doc["swing_deg"] = degrees(c.swing());
    doc["plane_span_m"] = c.planeSpan().span;
    doc["plane_height_difference_m"] = c.planeSpan().heightDifference;
    doc["max_sag_vertical_m"] = c.verticalMaxSag();
    doc["max_sag_sideways_m"] = c.sidewaysMaxSag();
    writeJson(out, doc, points, [&](int i) {
        const double x = i == points ? span : span * i / points;
        return Json{{"x_m", x},
                    {"height_m", c.heightAt(x)},
                    {"sag_m", c.sagAt(x)},
                    {"vertical_sag_m", c.verticalSagAt(x)},
                    {"sideways_m", c.sidewaysAt(x)}};
    });
}

}  // namespace

void addSpanCommand(CLI::App& app, CommandSet& set) {
    auto o = std::make_shared<SpanOptions>();
    CLI::App* cmd = app.add_subcommand(
        "span",
        "One span's curve for a horizontal stress and specific load (catenary or parabola)");
    NumberOptions& numbers = set.numbers;
    numbers.add(cmd, "--span", o->span, "Horizontal span, m, above 0", "METRES", kPositive, true);
    numbers.add(cmd, "--height-difference", o->heightDifference,
                "Height of the far support above the near one, m (negative when lower)", "METRES",
                kAnyNumber, true);
    numbers.add(cmd, "--stress", o->stress, "Horizontal stress, N/mm\u00B2, above 0", "N/MM2",
                kPositive, true);
    numbers.add(cmd, "--load", o->load,
                "Specific load, N/(m\u00B7mm\u00B2), above 0; with --horizontal-load its vertical "
                "part",
                "N/(M.MM2)", kPositive, true);
    CLI::Option* horizontal = numbers.add(
        cmd, "--horizontal-load", o->horizontalLoad,
        "Horizontal (wind) specific load beside --load, N/(m\u00B7mm\u00B2), 0 or more: the "
        "curve swung into the plane of the resultant load and the chord, its sag's vertical and "
        "sideways parts",
        "N/(M.MM2)", kNonNegative, false);
    cmd->add_option("--model", o->model,
                    "catenary (exact) or parabola (the inclined parabola of the state equation)")
        ->check(CLI::IsMember({"catenary", "parabola"}))
        ->capture_default_str();
    cmd->add_option("--points", o->points,
                    "Also the curve at N + 1 evenly spaced points from the near support")
        ->check(CLI::Range(1, 1000000))
        ->type_name("N");
    cmd->add_flag("--json", o->json,
                  "One JSON document: low point, support heights, stresses and angles, largest "
                  "sag and its place, length, and with --points the curve");
    cmd->footer(
        examples({"varnel span --span 1000 --height-difference 150 --stress 50 --load "
                  "0.025 --points 10",
                  "varnel span --span 600 --height-difference 300 --stress 90 --load 0.0328 "
                  "--horizontal-load 0.04",
                  "varnel span --span 300 --height-difference 8 --stress 161.5 --load "
                  "0.089 --model parabola --json"}));
    set.commands.push_back(
        {cmd, [o, horizontal](ResultStream& out) {
             SpanModel model = *spanModelNamed(o->model);
             warnOfLongSpan("--span", o->span);
             if (horizontal->count() > 0) {
                 std::optional<SwungCurve> swung;
                 try {
                     swung.emplace(model, o->span, o->heightDifference, o->stress,
                                   std::hypot(o->load, o->horizontalLoad), o->load);
                 } catch (const std::invalid_argument& e) {
                     throw UsageError(e.what());
                 }
                 if (o->json) {
                     writeSwungJson(out, *swung, o->span, o->load, o->horizontalLoad, o->points);
                 } else {
                     out.write(swungText(*swung, o->span, o->heightDifference, o->stress, o->load,
                                         o->horizontalLoad, o->points));
                 }
                 return;
             }
             std::optional<SpanCurve> curve;
             try {
                 curve.emplace(model, o->span, o->heightDifference, o->stress, o->load);
             } catch (const std::invalid_argument& e) {
                 throw UsageError(e.what());
             }
             if (o->json) {
                 writeCurveJson(out, *curve, o->points);
             } else {
                 out.write(curveText(*curve, o->points));
             }
         }});
}

}  // namespace varnel::tool
