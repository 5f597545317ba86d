#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// One report in a trainee's folder: its JSON file's name and text.
struct ReportSource {
    std::string name, json;
};

// A trainee's progress: every attempt by exercise, date, total and the
// figures its rules score, each linked to its page (the JSON's name with
// .html), and the totals over the attempts as a line per exercise. Reports
// that are not exercise reports are left out, each named in `skipped`.
std::string progressPage(const std::string& title, const std::vector<ReportSource>& reports,
                         std::vector<std::string>& skipped);

// Makes FOLDER/index.html from every report (*.json) in the folder, first
// making the page of any report that has none (one from before pages were
// made), and returns the index's path. Each report left out is one line
// tagged "[Report]" on `notes`; a folder that cannot be read, or a page
// that cannot be written, is thrown as an Error tagged "[Report]".
std::string writeProgressIndex(const std::string& folder, const std::string& title, std::ostream& notes);

// A report's JSON file, read within the limit every report is under.
std::string readReportFile(const std::string& path);
