// kelvarro-report: an exercise report's page made again from its JSON, or a
// trainee's progress page over every report in their folder.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "base/EntryPoint.h"
#include "base/Error.h"
#include "base/Names.h"
#include "base/TextFile.h"
#include "exercise/ProgressPage.h"
#include "exercise/ReportPage.h"

namespace {

int usage()
{
    std::cerr << "usage: kelvarro-report REPORT.json...   the page beside each report (REPORT.html), made again\n"
                 "       kelvarro-report --trainee NAME [--reports FOLDER]\n"
                 "                                       FOLDER/NAME/index.html (FOLDER: reports): the trainee's\n"
                 "                                       progress over every report there\n"
                 "       kelvarro-report FOLDER          FOLDER/index.html, the same over that folder's reports\n";
    return 1;
}

int progress(const std::string& folder, const std::string& title)
{
    if (!std::filesystem::is_directory(folder))
        throw Error("Report", folder + ": no such folder.");
    std::cout << writeProgressIndex(folder, title, std::cerr) << "\n";
    return 0;
}

int run(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help")
        return usage();
    if (args[0] == "--trainee") {
        if (args.size() != 2 && !(args.size() == 4 && args[2] == "--reports"))
            return usage();
        const std::string fault = traineeNameFault(args[1]);
        if (!fault.empty())
            throw Error("Report", excerpt(args[1], '\'', 60) + " is not a trainee's name: " + fault + ".");
        return progress((std::filesystem::path(args.size() == 4 ? args[3] : "reports") / args[1]).string(),
                        "Progress of " + args[1]);
    }
    if (args.size() == 1 && std::filesystem::is_directory(args[0]))
        return progress(args[0], "Reports in " + args[0]);
    for (const std::string& path : args) {
        if (path.size() < 5 || path.compare(path.size() - 5, 5, ".json") != 0)
            throw Error("Report", path + ": not a report's .json file.");
        const std::string page = path.substr(0, path.size() - 5) + ".html";
        const std::string html = reportPage(readReportFile(path), path);
        if (!replaceFile(page, html))
            throw Error("Report", page + ": cannot write it: " + std::strerror(errno) + ".");
        std::cout << page << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return runEntryPoint("Report", [&] { return run(argc, argv); });
}
