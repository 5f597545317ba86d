#include "exercise/ReportPage.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "exercise/SvgChart.h"

namespace {

using nlohmann::json;

constexpr double kWide = 760, kTall = 300;
const char* const kBefore = "#9a9a9a";
const char* const kNow = "#7a4a1c";
const char* const kGrade = "#1f5fbf";
const char* const kOver = "#d62728";
const char* const kLeft = "#ff9f1a";
const char* const kPhaseColours[4] = {"#8c564b", "#2ca02c", "#1f77b4", "#bcbd22"};
const char* const kPhaseNames[4] = {"dig", "swing loaded", "dump", "swing back"};
const char* const kPhaseKeys[4] = {"dig", "swing_loaded", "dump", "swing_back"};

double number(const json& j, const char* key, double otherwise = 0.0)
{
    return j.is_object() && j.contains(key) && j.at(key).is_number() ? j.at(key).get<double>() : otherwise;
}

std::string words(const json& j, const char* key, const std::string& otherwise = "")
{
    return j.is_object() && j.contains(key) && j.at(key).is_string() ? j.at(key).get<std::string>() : otherwise;
}

// The member, or null when there is none (a reference lives as long as the document).
const json& part(const json& j, const char* key)
{
    static const json none;
    return j.is_object() && j.contains(key) ? j.at(key) : none;
}

// Column `i` of a table of rows.
std::vector<double> column(const json& rows, size_t i)
{
    std::vector<double> out;
    for (const json& row : rows)
        out.push_back(row.at(i).get<double>());
    return out;
}

void widen(double& low, double& high, const std::vector<double>& values)
{
    for (const double v : values) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
}

// The low and high of the values, padded by `pad` each side.
std::pair<double, double> span(const std::vector<std::vector<double>>& sets, double pad)
{
    double low = 1e300, high = -1e300;
    for (const std::vector<double>& s : sets)
        widen(low, high, s);
    if (low > high)
        return {0.0, 1.0};
    return {low - pad, high + pad};
}

std::string scoreTable(const json& doc)
{
    std::string s = "<table><tr><th>Rule</th><th>Value</th><th>Allowance</th><th>Per unit / bonus</th>"
                    "<th>Points</th></tr>\n<tr><td>base score</td><td></td><td></td><td></td><td>" +
                    fixedFigure(number(doc, "base_score"), 1) + "</td></tr>\n";
    for (const json& r : part(doc, "rules")) {
        const bool bonus = r.contains("bonus");
        const double points = number(r, "points");
        s += "<tr><td>" + htmlEscaped(words(r, "metric")) + "</td><td>" + fixedFigure(number(r, "value"), 3) +
             "</td><td>" + (bonus ? "at least " : "") + fixedFigure(number(r, "allowance"), 3) + "</td><td>" +
             (bonus ? "bonus " + fixedFigure(number(r, "bonus"), 1)
                    : fixedFigure(number(r, "points_per_unit"), 1) + " per unit over") +
             "</td><td class=\"" + (points < 0 ? "lost" : points > 0 ? "won" : "") + "\">" + fixedFigure(points, 2) +
             "</td></tr>\n";
    }
    return s + "<tr class=\"total\"><td>total</td><td></td><td></td><td></td><td>" +
           fixedFigure(number(doc, "total"), 2) + "</td></tr></table>\n";
}

std::string metricsTable(const json& metrics)
{
    std::string s = "<table class=\"metrics\">";
    for (const auto& [name, value] : metrics.items())
        s += "<tr><td>" + htmlEscaped(name) + "</td><td>" +
             (value.is_number() ? fixedFigure(value.get<double>(), 3) : std::string()) + "</td></tr>";
    return s + "</table>\n";
}

// The floor along or across the trench, its ground at the start and the
// grade; columns inside the outline dug below the grade or left above it coloured.
std::string profileChart(const json& profiles, const char* which, double grade, const std::string& title)
{
    const json& rows = profiles.at(which);
    const std::vector<double> offset = column(rows, 0), before = column(rows, 1), now = column(rows, 2);
    const double half = number(profiles, std::string(which) == "along" ? "half_length_m" : "half_width_m");
    const double within = number(profiles, "on_grade_within_m", 0.05);
    const auto [x0, x1] = span({offset}, 0.2);
    const auto [y0, y1] = span({before, now, {grade}}, 0.3);
    SvgChart chart(kWide, kTall, x0, x1, y0, y1);
    chart.axes(std::string("from the trench's centre ") + which + " it (m)", "height (m)");
    const double spacing = offset.size() > 1 ? offset[1] - offset[0] : 0.3;
    for (size_t i = 0; i < offset.size(); ++i) {
        if (std::fabs(offset[i]) >= half)
            continue;
        const bool over = now[i] < grade - within, left = now[i] > grade + within;
        if (over || left)
            chart.box(offset[i] - spacing / 2, offset[i] + spacing / 2, std::min(now[i], grade),
                      std::max(now[i], grade), over ? kOver : kLeft,
                      std::string("data-kind=\"") + (over ? "over" : "left") + "\" data-offset=\"" +
                          shortFigure(offset[i], 17) + "\"");
    }
    chart.line(std::string(which) + "-before", offset, before, kBefore, "stroke-dasharray=\"4 3\"");
    chart.line(std::string(which) + "-now", offset, now, kNow);
    chart.line(std::string(which) + "-grade", {x0, x1}, {grade, grade}, kGrade, "stroke-dasharray=\"6 3\"");
    for (const double end : {-half, half})
        chart.line(std::string(which) + "-end", {end, end}, {y0, y1}, "#555", "stroke-dasharray=\"2 3\"");
    chart.legend({{kBefore, "ground at the start"}, {kNow, "floor now"}, {kGrade, "grade"},
                  {kOver, "over-dug"}, {kLeft, "left above grade"}});
    return "<h3>" + htmlEscaped(title) + "</h3>\n" + chart.svg(std::string("profile-") + which);
}

// The plan's corners of every marked area.
void outlines(SvgChart& chart, const json& doc)
{
    for (const auto& [name, corners] : part(doc, "outlines").items())
        chart.polygon("outline-" + name, column(corners, 0), column(corners, 1), name == "hopper" ? "#6b6b6b" : kGrade);
    for (const json& p : part(doc, "posts")) {
        const double x = p.at(0).get<double>(), z = p.at(1).get<double>();
        chart.box(x - 0.15, x + 0.15, z - 0.15, z + 0.15, "#444", "data-kind=\"post\"");
    }
}

std::string edgeCharts(const json& doc)
{
    const json& edge = doc["series"]["edge"];
    const std::vector<double> t = column(edge, 0), x = column(edge, 1), y = column(edge, 2), z = column(edge, 3);
    const json& start = part(doc, "start");
    const double sx = number(start, "x"), sz = number(start, "z");
    const double h = number(start, "heading_deg") * M_PI / 180.0;
    std::vector<double> along;
    for (size_t i = 0; i < x.size(); ++i)
        along.push_back((x[i] - sx) * std::cos(h) - (z[i] - sz) * std::sin(h));
    std::string s = "<h2>The cutting edge's path</h2>\n<p>Its middle every " +
                    shortFigure(number(doc["series"], "every_s", 0.25)) +
                    " s, seen from the side (along the machine's heading at the start, from where it stood) "
                    "and from above.</p>\n";
    std::vector<double> heights = y, postAlong, postTop;
    if (doc.contains("grade_level_m"))
        heights.push_back(number(doc, "grade_level_m"));
    for (const json& p : part(doc, "posts")) {
        postAlong.push_back((p.at(0).get<double>() - sx) * std::cos(h) - (p.at(1).get<double>() - sz) * std::sin(h));
        postTop.push_back(p.at(2).get<double>());
    }
    heights.insert(heights.end(), postTop.begin(), postTop.end());
    along.insert(along.end(), postAlong.begin(), postAlong.end());
    const auto [a0, a1] = span({along}, 0.5);
    const auto [h0, h1] = span({heights}, 0.5);
    along.resize(y.size());
    SvgChart side(kWide, kTall, a0, a1, h0, h1);
    side.axes("ahead of the start (m)", "height (m)");
    if (doc.contains("grade_level_m"))
        side.line("edge-side-grade", {a0, a1}, {number(doc, "grade_level_m"), number(doc, "grade_level_m")}, kGrade,
                  "stroke-dasharray=\"6 3\"");
    side.line("edge-side", along, y, kNow);
    for (size_t i = 0; i < postTop.size(); ++i)
        side.dot(postAlong[i], postTop[i], "#444", "data-kind=\"post\"");
    s += side.svg("edge-side");
    std::vector<double> xs = x, zs = z;
    for (const auto& [name, corners] : part(doc, "outlines").items()) {
        const std::vector<double> cx = column(corners, 0), cz = column(corners, 1);
        xs.insert(xs.end(), cx.begin(), cx.end());
        zs.insert(zs.end(), cz.begin(), cz.end());
    }
    for (const json& p : part(doc, "posts")) {
        xs.push_back(p.at(0).get<double>());
        zs.push_back(p.at(1).get<double>());
    }
    xs.push_back(sx);
    zs.push_back(sz);
    const auto [px0, px1] = span({xs}, 1.0);
    const auto [pz0, pz1] = span({zs}, 1.0);
    // Seen from above with x to the right, z runs down the page.
    SvgChart plan(kWide, 420, px0, px1, pz1, pz0);
    plan.equalScale();
    plan.axes("x (m)", "z (m)");
    outlines(plan, doc);
    plan.line("edge-plan", x, z, kNow);
    plan.box(sx - 0.3, sx + 0.3, sz - 0.3, sz + 0.3, "#000", "data-kind=\"start\"");
    std::vector<std::pair<std::string, std::string>> legend = {{kNow, "cutting edge"}, {"#000", "start"}};
    for (const auto& [name, corners] : part(doc, "outlines").items())
        legend.emplace_back(name == "hopper" ? "#6b6b6b" : kGrade, name == "dig_area" ? "dig area" : name);
    if (!part(doc, "posts").empty())
        legend.emplace_back("#444", "posts");
    plan.legend(legend);
    return s + plan.svg("edge-plan");
}

std::string cycleChart(const json& phases)
{
    const size_t n = phases.size();
    double longest = 0.0;
    for (const json& c : phases) {
        double sum = 0.0;
        for (int k = 0; k < 4; ++k)
            sum += c.at(k).get<double>();
        longest = std::max(longest, sum);
    }
    SvgChart chart(kWide, std::min(900.0, 90.0 + 22.0 * static_cast<double>(n)), 0.0, longest * 1.05,
                   static_cast<double>(n) + 0.5, 0.5);
    chart.axes("seconds", "cycle", false, true);
    for (size_t i = 0; i < n; ++i) {
        double from = 0.0;
        for (int k = 0; k < 4; ++k) {
            const double d = phases[i].at(k).get<double>();
            chart.box(from, from + d, static_cast<double>(i + 1) - 0.35, static_cast<double>(i + 1) + 0.35,
                      kPhaseColours[k],
                      "data-cycle=\"" + std::to_string(i + 1) + "\" data-phase=\"" + kPhaseKeys[k] + "\"");
            from += d;
        }
    }
    chart.legend({{kPhaseColours[0], kPhaseNames[0]},
                  {kPhaseColours[1], kPhaseNames[1]},
                  {kPhaseColours[2], kPhaseNames[2]},
                  {kPhaseColours[3], kPhaseNames[3]}});
    return "<h2>Work cycles</h2>\n<p>Each cycle's four phases, in order.</p>\n" + chart.svg("cycles");
}

std::string deliveryChart(const json& rows)
{
    const std::vector<double> t = column(rows, 0), delivered = column(rows, 1), spilled = column(rows, 2);
    const auto [t0, t1] = span({t}, 0.0);
    const auto [v0, v1] = span({delivered, spilled, {0.0}}, 0.0);
    SvgChart chart(kWide, kTall, t0, t1, v0, v1 * 1.05 + 0.05);
    chart.axes("seconds", "soil (m3)");
    chart.line("delivered", t, delivered, "#2ca02c");
    chart.line("spilled", t, spilled, kOver);
    chart.legend({{"#2ca02c", "delivered"}, {kOver, "spilled"}});
    return "<h2>Soil delivered and spilled</h2>\n" + chart.svg("delivery");
}

std::string page(const json& doc, const std::string& jsonName)
{
    const std::string exercise = words(doc, "exercise"), trainee = words(doc, "trainee");
    std::string s = pageHead("Kelvarro - " + exercise + (trainee.empty() ? "" : " - " + trainee) + " - " +
                             words(doc, "start_time"));
    s += "<h1>" + htmlEscaped(exercise) + (trainee.empty() ? "" : " by " + htmlEscaped(trainee)) + "</h1>\n";
    s += "<p>Started " + htmlEscaped(words(doc, "start_time")) + ", " + htmlEscaped(words(doc, "end")) +
         (doc.contains("time_s") ? " after " + fixedFigure(number(doc, "time_s"), 1) + " s" : std::string()) +
         ". Exercise file " + htmlEscaped(words(doc, "file")) + ", report " + htmlEscaped(jsonName) + ".</p>\n";
    s += "<p class=\"score\">Score <b id=\"total\">" + fixedFigure(number(doc, "total"), 2) + "</b></p>\n";
    s += "<h2>Score</h2>\n" + scoreTable(doc);
    if (doc.contains("profiles")) {
        const double grade = number(doc, "grade_level_m");
        s += "<h2>The trench's floor</h2>\n<p>Grade " + fixedFigure(grade, 3) + " m.</p>\n";
        for (const char* which : {"along", "across"})
            if (doc["profiles"].contains(which))
                s += profileChart(doc["profiles"], which, grade,
                                  std::string(which) == "along" ? "Along its middle line" : "Across its centre");
    }
    if (doc.contains("series") && part(doc["series"], "edge").size() > 0)
        s += edgeCharts(doc);
    if (doc.contains("cycles") && part(doc["cycles"], "phases_s").size() > 0)
        s += cycleChart(doc["cycles"]["phases_s"]);
    if (doc.contains("series") && part(doc["series"], "delivery").size() > 0)
        s += deliveryChart(doc["series"]["delivery"]);
    s += "<h2>Metrics</h2>\n" + metricsTable(part(doc, "metrics"));
    const std::string recording = words(doc, "recording", "none");
    s += "<h2>Recording</h2>\n";
    if (recording == "none")
        s += "<p>None: the session was not recorded.</p>\n";
    else
        s += "<p>" + htmlEscaped(recording) + "</p>\n<p>Watch it again:</p><pre>kelvarro --replay " +
             htmlEscaped(shellQuoted(recording)) +
             "</pre>\n<p>or replay it without a window:</p><pre>kelvarro-scenario --replay " +
             htmlEscaped(shellQuoted(recording)) + "</pre>\n";
    return s + "</body>\n</html>\n";
}

}  // namespace

std::string pageHead(const std::string& title)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + htmlEscaped(title) +
           "</title>\n<style>\n"
           "body{font-family:sans-serif;margin:24px;color:#222;max-width:1000px}\n"
           "table{border-collapse:collapse;margin:8px 0;font-size:0.9em}td,th{border:1px solid #ccc;padding:3px 8px;"
           "text-align:right}td:first-child,th:first-child{text-align:left}\n"
           "td.when{white-space:nowrap}tr.total td{font-weight:bold}td.lost{color:#b00}td.won{color:#070}\n"
           ".score{font-size:1.4em}svg{display:block;margin:6px 0 18px}svg text{font-size:11px;fill:#333}\n"
           "rect.plot{fill:#fafafa;stroke:#999}line.tick{stroke:#e4e4e4}pre{background:#f3f3f3;padding:6px}\n"
           "</style>\n</head>\n<body>\n";
}

std::string shellQuoted(const std::string& path)
{
    if (!path.empty() && path.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                                                 "_-./+:,@%=") == std::string::npos)
        return path;
    std::string q = "'";
    for (const char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string reportPage(const std::string& jsonText, const std::string& jsonName)
{
    json doc;
    try {
        doc = json::parse(jsonText);
    } catch (const json::exception&) {
        throw Error("Report", jsonName + ": not JSON.");
    }
    if (!doc.is_object() || !doc.contains("exercise") || !doc["exercise"].is_string() || !doc.contains("total") ||
        !doc["total"].is_number())
        throw Error("Report", jsonName + ": not an exercise report (no exercise or total).");
    try {
        return page(doc, jsonName);
    } catch (const json::exception& fault) {
        throw Error("Report", jsonName + ": a picture's figures are not as a report holds them (" +
                                  excerpt(fault.what(), '\'', 80) + ").");
    }
}
