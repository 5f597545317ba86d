#include "exercise/SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string coordinate(double v) { return fixedFigure(v, 2); }

// About five round steps over the range.
double tickStep(double range)
{
    const double raw = std::fabs(range) / 5.0;
    if (!(raw > 0.0))
        return 1.0;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / p;
    return p * (r < 1.5 ? 1.0 : r < 3.5 ? 2.0 : r < 7.5 ? 5.0 : 10.0);
}

}  // namespace

SvgChart::SvgChart(double width_, double height_, double x0_, double x1_, double y0_, double y1_)
    : width(width_), height(height_), x0(x0_), x1(x1_), y0(y0_), y1(y1_)
{
    // A flat series still gets a domain to be drawn in.
    if (!(std::fabs(x1 - x0) > 1e-9))
        x1 = x0 + 1.0;
    if (!(std::fabs(y1 - y0) > 1e-9))
        y1 = y0 + 1.0;
}

void SvgChart::equalScale()
{
    const double w = width - kLeft - kRight, h = height - kTop - kBottom;
    const double sx = std::fabs(x1 - x0) / w, sy = std::fabs(y1 - y0) / h;
    const auto grow = [](double& a, double& b, double factor) {
        const double mid = (a + b) / 2, half = (b - a) / 2 * factor;
        a = mid - half;
        b = mid + half;
    };
    if (sx > sy)
        grow(y0, y1, sx / sy);
    else
        grow(x0, x1, sy / sx);
}

double SvgChart::px(double x) const { return kLeft + (x - x0) / (x1 - x0) * (width - kLeft - kRight); }

double SvgChart::py(double y) const { return height - kBottom - (y - y0) / (y1 - y0) * (height - kTop - kBottom); }

void SvgChart::axes(const std::string& xLabel, const std::string& yLabel, bool countedX, bool countedY)
{
    const double bottom = height - kBottom, right = width - kRight;
    body += "<rect class=\"plot\" x=\"" + coordinate(kLeft) + "\" y=\"" + coordinate(kTop) + "\" width=\"" +
            coordinate(right - kLeft) + "\" height=\"" + coordinate(bottom - kTop) + "\"/>\n";
    const double sx = std::max(tickStep(x1 - x0), countedX ? 1.0 : 0.0);
    const double sy = std::max(tickStep(y1 - y0), countedY ? 1.0 : 0.0);
    for (double t = std::ceil(std::min(x0, x1) / sx) * sx; t <= std::max(x0, x1) + 1e-9; t += sx)
        body += "<line class=\"tick\" x1=\"" + coordinate(px(t)) + "\" y1=\"" + coordinate(kTop) + "\" x2=\"" +
                coordinate(px(t)) + "\" y2=\"" + coordinate(bottom) + "\"/><text x=\"" + coordinate(px(t)) +
                "\" y=\"" + coordinate(bottom + 14) + "\" text-anchor=\"middle\">" +
                shortFigure(std::fabs(t) < sx * 1e-6 ? 0.0 : t) + "</text>\n";
    for (double t = std::ceil(std::min(y0, y1) / sy) * sy; t <= std::max(y0, y1) + 1e-9; t += sy)
        body += "<line class=\"tick\" x1=\"" + coordinate(kLeft) + "\" y1=\"" + coordinate(py(t)) + "\" x2=\"" +
                coordinate(right) + "\" y2=\"" + coordinate(py(t)) + "\"/><text x=\"" + coordinate(kLeft - 4) +
                "\" y=\"" + coordinate(py(t) + 4) + "\" text-anchor=\"end\">" +
                shortFigure(std::fabs(t) < sy * 1e-6 ? 0.0 : t) + "</text>\n";
    body += "<text x=\"" + coordinate((kLeft + right) / 2) + "\" y=\"" + coordinate(bottom + 30) +
            "\" text-anchor=\"middle\">" + htmlEscaped(xLabel) + "</text>\n";
    body += "<text transform=\"translate(12 " + coordinate((kTop + bottom) / 2) +
            ") rotate(-90)\" text-anchor=\"middle\">" + htmlEscaped(yLabel) + "</text>\n";
}

void SvgChart::line(const std::string& series, const std::vector<double>& xs, const std::vector<double>& ys,
                    const std::string& colour, const std::string& extra)
{
    std::string points;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i)
        points += (i ? " " : "") + coordinate(px(xs[i])) + "," + coordinate(py(ys[i]));
    body += "<polyline data-series=\"" + htmlEscaped(series) + "\" fill=\"none\" stroke=\"" + colour +
            "\" stroke-width=\"1.5\" " + extra + " points=\"" + points + "\"/>\n";
}

void SvgChart::polygon(const std::string& series, const std::vector<double>& xs, const std::vector<double>& ys,
                       const std::string& colour)
{
    std::string points;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i)
        points += (i ? " " : "") + coordinate(px(xs[i])) + "," + coordinate(py(ys[i]));
    body += "<polygon data-series=\"" + htmlEscaped(series) + "\" fill=\"" + colour +
            "\" fill-opacity=\"0.25\" stroke=\"" + colour + "\" points=\"" + points + "\"/>\n";
}

void SvgChart::box(double bx0, double bx1, double by0, double by1, const std::string& colour,
                   const std::string& attributes)
{
    const double left = std::min(px(bx0), px(bx1)), top = std::min(py(by0), py(by1));
    body += "<rect " + attributes + " fill=\"" + colour + "\" x=\"" + coordinate(left) + "\" y=\"" +
            coordinate(top) + "\" width=\"" + coordinate(std::fabs(px(bx1) - px(bx0))) + "\" height=\"" +
            coordinate(std::fabs(py(by1) - py(by0))) + "\"/>\n";
}

void SvgChart::dot(double x, double y, const std::string& colour, const std::string& attributes)
{
    body += "<circle " + attributes + " fill=\"" + colour + "\" cx=\"" + coordinate(px(x)) + "\" cy=\"" +
            coordinate(py(y)) + "\" r=\"3.5\"/>\n";
}

void SvgChart::text(double x, double y, const std::string& words, const std::string& anchor)
{
    body += "<text x=\"" + coordinate(px(x)) + "\" y=\"" + coordinate(py(y)) + "\" text-anchor=\"" + anchor +
            "\">" + htmlEscaped(words) + "</text>\n";
}

void SvgChart::legend(const std::vector<std::pair<std::string, std::string>>& colourAndName)
{
    double x = kLeft;
    for (const auto& [colour, name] : colourAndName) {
        body += "<rect x=\"" + coordinate(x) + "\" y=\"" + coordinate(height - 12) +
                "\" width=\"10\" height=\"10\" fill=\"" + colour + "\"/><text x=\"" + coordinate(x + 14) +
                "\" y=\"" + coordinate(height - 3) + "\">" + htmlEscaped(name) + "</text>\n";
        x += 24 + 7.0 * static_cast<double>(name.size());
    }
}

std::string SvgChart::svg(const std::string& id) const
{
    return "<svg id=\"" + htmlEscaped(id) + "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           coordinate(width) + "\" height=\"" + coordinate(height) + "\" viewBox=\"0 0 " + coordinate(width) +
           " " + coordinate(height) + "\" data-x0=\"" + shortFigure(x0, 17) + "\" data-x1=\"" +
           shortFigure(x1, 17) + "\" data-y0=\"" + shortFigure(y0, 17) + "\" data-y1=\"" + shortFigure(y1, 17) +
           "\" data-left=\"" + coordinate(kLeft) + "\" data-top=\"" + coordinate(kTop) + "\" data-right=\"" +
           coordinate(width - kRight) + "\" data-bottom=\"" + coordinate(height - kBottom) + "\">\n" + body +
           "</svg>\n";
}

std::string htmlEscaped(const std::string& text)
{
    std::string out;
    for (const char c : text)
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // A control character has no place in a page (a NUL would make it binary).
            out += static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t' ? '?' : c;
        }
    return out;
}

std::string shortFigure(double v, int digits)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, v);
    return text;
}

std::string fixedFigure(double v, int decimals)
{
    char text[400];  // room for any double
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}
