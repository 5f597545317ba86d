#pragma once

#include <string>
#include <vector>

// A chart as inline SVG: a plot area that maps a domain of figures onto it,
// linearly on each axis (a reversed domain turns the axis over). The <svg>
// carries its domain and plot area as data-* attributes, so that what is
// drawn can be read back into figures.
class SvgChart {
public:
    SvgChart(double width, double height, double x0, double x1, double y0, double y1);

    // The domain grown about its middle on one axis so a metre is as long on
    // both (a plan, a section at true scale).
    void equalScale();

    double px(double x) const;
    double py(double y) const;

    // Axes with a few round ticks (whole numbers only on a counted axis),
    // labelled with their units.
    void axes(const std::string& xLabel, const std::string& yLabel, bool countedX = false, bool countedY = false);
    // A line through the points, tagged data-series="series".
    void line(const std::string& series, const std::vector<double>& xs, const std::vector<double>& ys,
              const std::string& colour, const std::string& extra = "");
    // A closed outline on the plot.
    void polygon(const std::string& series, const std::vector<double>& xs, const std::vector<double>& ys,
                 const std::string& colour);
    // A rectangle spanning figures [x0, x1] x [y0, y1], its attributes added.
    void box(double x0, double x1, double y0, double y1, const std::string& colour, const std::string& attributes);
    // A round mark at a point, its attributes added.
    void dot(double x, double y, const std::string& colour, const std::string& attributes);
    void text(double x, double y, const std::string& words, const std::string& anchor = "start");
    // A row of coloured swatches and names under the plot.
    void legend(const std::vector<std::pair<std::string, std::string>>& colourAndName);

    std::string svg(const std::string& id) const;

    static constexpr double kLeft = 56, kRight = 16, kTop = 14, kBottom = 48;

private:
    double width, height, x0, x1, y0, y1;
    std::string body;
};

// Text made safe inside HTML and its attributes.
std::string htmlEscaped(const std::string& text);
// A figure as "%.*g", or with fixed decimals.
std::string shortFigure(double v, int digits = 4);
std::string fixedFigure(double v, int decimals);
