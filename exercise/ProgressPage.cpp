#include "exercise/ProgressPage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <map>

#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "base/TextFile.h"
#include "exercise/ReportPage.h"
#include "exercise/SvgChart.h"

namespace {

using nlohmann::json;

struct Attempt {
    std::string start, page, end;
    double total = 0.0;
    std::vector<std::pair<std::string, double>> figures;  // each rule's metric and value
};

std::string pageOf(const std::string& jsonName)
{
    const size_t dot = jsonName.rfind(".json");
    return (dot == std::string::npos ? jsonName : jsonName.substr(0, dot)) + ".html";
}

// "2026-12-07T18-20-25" as "2026-12-07 18:20:25".
std::string readableTime(std::string stamp)
{
    if (stamp.size() == 19 && stamp[10] == 'T') {
        stamp[10] = ' ';
        stamp[13] = stamp[16] = ':';
    }
    return stamp;
}

// An exercise's attempts in a table and their totals as a line.
std::string exerciseSection(const std::string& exercise, const std::vector<Attempt>& attempts)
{
    std::string s = "<h2>" + htmlEscaped(exercise) + "</h2>\n";
    std::vector<double> number, total;
    for (size_t i = 0; i < attempts.size(); ++i) {
        number.push_back(static_cast<double>(i + 1));
        total.push_back(attempts[i].total);
    }
    const auto [low, high] = std::minmax_element(total.begin(), total.end());
    // From 0 (or the lowest total below it) to a little over the highest.
    const double bottom = std::min(0.0, *low), top = std::max(0.0, *high);
    SvgChart chart(760, 240, 0.5, static_cast<double>(attempts.size()) + 0.5, bottom,
                   top + 0.1 * (top - bottom) + 1.0);
    chart.axes("attempt", "total", true);
    chart.line("totals-" + exercise, number, total, "#1f5fbf", "stroke-width=\"2\"");
    for (size_t i = 0; i < attempts.size(); ++i)
        chart.dot(number[i], total[i], "#1f5fbf", "data-kind=\"attempt\"");
    s += chart.svg("totals-" + exercise);
    // The rules may have changed between attempts: a column for every metric scored.
    std::vector<std::string> metrics;
    for (const Attempt& a : attempts)
        for (const auto& figure : a.figures)
            if (std::find(metrics.begin(), metrics.end(), figure.first) == metrics.end())
                metrics.push_back(figure.first);
    s += "<table><tr><th>#</th><th>Started</th><th>End</th><th>Total</th>";
    for (std::string metric : metrics) {
        std::replace(metric.begin(), metric.end(), '_', ' ');  // a long name wraps
        s += "<th>" + htmlEscaped(metric) + "</th>";
    }
    s += "<th>Report</th></tr>\n";
    for (size_t i = 0; i < attempts.size(); ++i) {
        const Attempt& a = attempts[i];
        s += "<tr><td>" + std::to_string(i + 1) + "</td><td class=\"when\">" + htmlEscaped(readableTime(a.start)) +
             "</td><td>" +
             htmlEscaped(a.end) + "</td><td>" + fixedFigure(a.total, 1) + "</td>";
        for (const std::string& metric : metrics) {
            const auto found = std::find_if(a.figures.begin(), a.figures.end(),
                                            [&](const auto& figure) { return figure.first == metric; });
            s += "<td>" + (found == a.figures.end() ? std::string() : fixedFigure(found->second, 2)) + "</td>";
        }
        s += "<td><a href=\"" + htmlEscaped(a.page) + "\">page</a></td></tr>\n";
    }
    return s + "</table>\n";
}

}  // namespace

std::string progressPage(const std::string& title, const std::vector<ReportSource>& reports,
                         std::vector<std::string>& skipped)
{
    std::map<std::string, std::vector<Attempt>> byExercise;
    for (const ReportSource& r : reports) {
        const json doc = json::parse(r.json, nullptr, false);
        if (!doc.is_object() || !doc.contains("exercise") || !doc["exercise"].is_string() || !doc.contains("total") ||
            !doc["total"].is_number()) {
            skipped.push_back(r.name);
            continue;
        }
        Attempt a;
        a.start = doc.value("start_time", "");
        a.end = doc.contains("end") && doc["end"].is_string() ? doc["end"].get<std::string>() : "";
        a.total = doc["total"].get<double>();
        a.page = pageOf(r.name);
        if (doc.contains("rules") && doc["rules"].is_array())
            for (const json& rule : doc["rules"])
                if (rule.is_object() && rule.contains("metric") && rule["metric"].is_string() &&
                    rule.contains("value") && rule["value"].is_number())
                    a.figures.emplace_back(rule["metric"].get<std::string>(), rule["value"].get<double>());
        byExercise[doc["exercise"].get<std::string>()].push_back(a);
    }
    std::string s = pageHead("Kelvarro - " + title) + "<h1>" + htmlEscaped(title) + "</h1>\n";
    size_t count = 0;
    for (auto& [exercise, attempts] : byExercise) {
        // Oldest first: the start times sort as text.
        std::stable_sort(attempts.begin(), attempts.end(),
                         [](const Attempt& a, const Attempt& b) { return a.start < b.start; });
        count += attempts.size();
    }
    s += "<p>" + std::to_string(count) + (count == 1 ? " attempt" : " attempts") + " at " +
         std::to_string(byExercise.size()) + (byExercise.size() == 1 ? " exercise" : " exercises") +
         ". The totals over the attempts, oldest first; each attempt's page is linked in its row.</p>\n";
    for (const auto& [exercise, attempts] : byExercise)
        s += exerciseSection(exercise, attempts);
    return s + "</body>\n</html>\n";
}

std::string readReportFile(const std::string& path)
{
    // A long exercise's report is under 1 MiB: its series are thinned past 2048 samples.
    return readTextFile(path, size_t{16} << 20, "Report");
}

std::string writeProgressIndex(const std::string& folder, const std::string& title, std::ostream& notes)
{
    namespace fs = std::filesystem;
    std::error_code fault;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, fault), end; !fault && it != end; it.increment(fault))
        if (it->path().extension() == ".json" && it->is_regular_file())
            names.push_back(it->path().filename().string());
    if (fault)
        throw Error("Report", folder + ": cannot read the folder: " + fault.message() + ".");
    std::sort(names.begin(), names.end());
    std::vector<ReportSource> reports;
    for (const std::string& name : names) {
        const std::string path = (fs::path(folder) / name).string();
        // A file that is not a report is left out, and said so.
        std::string text, page = pageOf(path), html;
        try {
            text = readReportFile(path);
            if (!fs::exists(page))
                html = reportPage(text, path);
        } catch (const Error& e) {
            notes << e.what() << " Left out.\n";
            continue;
        }
        if (!html.empty() && !replaceFile(page, html))
            throw Error("Report", page + ": cannot write it: " + std::strerror(errno) + ".");
        reports.push_back({name, text});
    }
    std::vector<std::string> skipped;
    const std::string index = (fs::path(folder) / "index.html").string();
    const std::string body = progressPage(title, reports, skipped);
    for (const std::string& name : skipped)
        notes << "[Report] " << (fs::path(folder) / name).string() << ": left out, not an exercise report.\n";
    if (!replaceFile(index, body))
        throw Error("Report", index + ": cannot write it: " + std::strerror(errno) + ".");
    return index;
}
