#include "check/svg_plot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

#include "check/physics.h"
#include "check/text_number.h"

namespace {

// Page and panel geometry, in pixels.
constexpr double kWidth = 1200.0;
constexpr double kHeight = 650.0;
constexpr double kPanelSize = 500.0;  // the square plot area of one panel
constexpr double kPanelTop = 75.0;
constexpr double kPanelLefts[2] = {85.0, 665.0};
constexpr double kMinDotRadius = 2.5;   // smallest dot drawn
constexpr double kMaxDotRadius = 8.0;   // largest dot when the true radii are too small
constexpr double kSameSpot = 4.0;       // bodies closer than this share one label
constexpr double kLongestArrow = 60.0;  // the fastest body's velocity arrow, for few bodies
constexpr double kCrowded = 50.0;       // past this many bodies the arrows get shorter
constexpr int kLabelledBodies = 12;     // bodies numbered in the picture up to this many

std::string px(double value) { return formatFixed(value, 2); }

std::string escapeText(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped.push_back(static_cast<unsigned char>(c) < ' ' ? '?' : c);
    }
  }
  return escaped;
}

// One panel: a view of the bodies onto two axes.
struct View {
  int horizontal;    // axis shown to the right: 0 for x
  int vertical;      // axis shown upwards: 1 for y, 2 for z
  int depth;         // axis towards the viewer: nearer bodies are drawn last
  double depthSign;  // +1 when larger depth values are nearer
  const char* title;
  const char* horizontalName;
  const char* verticalName;
};

const View kViews[2] = {
    {0, 1, 2, 1.0, "x-y plane, seen from +z", "x", "y"},
    {0, 2, 1, -1.0, "x-z plane, seen from -y", "x", "z"},
};

}  // namespace

double chooseTickStep(double extent, int maxTicksEachSide) {
  const double rough = extent / maxTicksEachSide;
  double step = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (step * factor >= rough) return step * factor;
  }
  return step * 10.0;
}

std::string renderPlot(const InitialData& data, const std::string& name) {
  const std::vector<Body> bodies = toBodies(data);
  const auto finite = [](double value) { return std::isfinite(value) ? value : 0.0; };

  // One scale for both panels: the farthest coordinate and a margin.
  double extent = 0.0;
  double fastest = 0.0;
  double largestRadius = 0.0;
  for (const Body& body : bodies) {
    for (int k = 0; k < 3; ++k) extent = std::max(extent, std::fabs(finite(body.position[k])));
    fastest = std::max(fastest, finite(norm(body.velocity)));
    largestRadius = std::max(largestRadius, finite(body.radius));
  }
  if (!(extent > 0.0)) extent = 1.0;
  extent *= 1.1;
  const double scale = kPanelSize / (2.0 * extent);  // pixels per length unit
  const double step = chooseTickStep(extent, 4);
  // Dots at their true size when that is visible, else sized relative to the largest radius.
  const bool trueSize = largestRadius * scale >= kMinDotRadius * 2.0;
  auto dotRadius = [&](double radius) {
    const double r = finite(radius);
    if (trueSize) return std::max(kMinDotRadius, r * scale);
    if (!(largestRadius > 0.0)) return kMinDotRadius + 1.0;
    return kMinDotRadius + (kMaxDotRadius - kMinDotRadius) * r / largestRadius;
  };

  // Many arrows would cover each other: shorten them as the bodies crowd the picture.
  const double count = static_cast<double>(bodies.size());
  const double arrowLength =
      count > kCrowded ? kLongestArrow * std::sqrt(kCrowded / count) : kLongestArrow;

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + px(kWidth) + "\" height=\"" +
         px(kHeight) + "\" viewBox=\"0 0 " + px(kWidth) + " " + px(kHeight) +
         "\" font-family=\"sans-serif\" font-size=\"13\">\n";
  svg +=
      "<defs><marker id=\"head\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" "
      "markerWidth=\"7\" markerHeight=\"7\" orient=\"auto\">"
      "<path d=\"M0,0 L10,5 L0,10 z\" fill=\"#c0392b\"/></marker></defs>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  std::string heading = escapeText(name) + ": " + std::to_string(bodies.size()) +
                        " bodies, barycentric frame; lengths in units of L = " +
                        formatGeneral(data.trailer.lengthUnit, 6) + " m";
  svg += "<text x=\"" + px(kWidth / 2.0) + "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">" +
         heading + "</text>\n";

  for (const View& view : kViews) {
    const double left = kPanelLefts[&view - kViews];
    const double centreX = left + kPanelSize / 2.0;
    const double centreY = kPanelTop + kPanelSize / 2.0;
    auto toX = [&](double value) { return centreX + finite(value) * scale; };
    auto toY = [&](double value) { return centreY - finite(value) * scale; };

    svg += "<g>\n<text x=\"" + px(centreX) + "\" y=\"" + px(kPanelTop - 12.0) +
           "\" text-anchor=\"middle\" font-size=\"14\">" + view.title + "</text>\n";
    svg += "<rect x=\"" + px(left) + "\" y=\"" + px(kPanelTop) + "\" width=\"" + px(kPanelSize) +
           "\" height=\"" + px(kPanelSize) + "\" fill=\"#fbfbfd\" stroke=\"#444\"/>\n";
    // Ticks, grid lines and their labels on both axes.
    const int ticks = static_cast<int>(std::floor(extent / step));
    for (int i = -ticks; i <= ticks; ++i) {
      const double value = i * step;
      const double x = toX(value);
      const double y = toY(value);
      const std::string label = formatGeneral(value, 4);
      const char* grid = i == 0 ? "#999" : "#e2e2e8";
      svg += "<line x1=\"" + px(x) + "\" y1=\"" + px(kPanelTop) + "\" x2=\"" + px(x) + "\" y2=\"" +
             px(kPanelTop + kPanelSize) + "\" stroke=\"" + grid + "\"/>\n";
      svg += "<line x1=\"" + px(left) + "\" y1=\"" + px(y) + "\" x2=\"" + px(left + kPanelSize) +
             "\" y2=\"" + px(y) + "\" stroke=\"" + grid + "\"/>\n";
      svg += "<line x1=\"" + px(x) + "\" y1=\"" + px(kPanelTop + kPanelSize) + "\" x2=\"" + px(x) +
             "\" y2=\"" + px(kPanelTop + kPanelSize + 6.0) + "\" stroke=\"#444\"/>\n";
      svg += "<text x=\"" + px(x) + "\" y=\"" + px(kPanelTop + kPanelSize + 20.0) +
             "\" text-anchor=\"middle\" font-size=\"11\">" + label + "</text>\n";
      svg += "<line x1=\"" + px(left - 6.0) + "\" y1=\"" + px(y) + "\" x2=\"" + px(left) +
             "\" y2=\"" + px(y) + "\" stroke=\"#444\"/>\n";
      svg += "<text x=\"" + px(left - 9.0) + "\" y=\"" + px(y + 4.0) +
             "\" text-anchor=\"end\" font-size=\"11\">" + label + "</text>\n";
    }
    svg += "<text x=\"" + px(centreX) + "\" y=\"" + px(kPanelTop + kPanelSize + 42.0) +
           "\" text-anchor=\"middle\">" + view.horizontalName + " (L)</text>\n";
    svg += "<text x=\"" + px(left - 62.0) + "\" y=\"" + px(centreY) +
           "\" text-anchor=\"middle\" transform=\"rotate(-90 " + px(left - 62.0) + " " +
           px(centreY) + ")\">" + view.verticalName + " (L)</text>\n";

    // Bodies far from the viewer first, so that nearer ones cover them.
    std::vector<int> order(bodies.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return view.depthSign * finite(bodies[a].position[view.depth]) <
             view.depthSign * finite(bodies[b].position[view.depth]);
    });
    for (const int i : order) {
      const Body& body = bodies[i];
      const double x = toX(body.position[view.horizontal]);
      const double y = toY(body.position[view.vertical]);
      const double r = dotRadius(body.radius);
      const bool central = i == 0;
      if (fastest > 0.0) {
        const double length = arrowLength / fastest;
        const double dx = finite(body.velocity[view.horizontal]) * length;
        const double dy = -finite(body.velocity[view.vertical]) * length;
        if (std::hypot(dx, dy) > 1.0) {
          svg += "<line x1=\"" + px(x) + "\" y1=\"" + px(y) + "\" x2=\"" + px(x + dx) + "\" y2=\"" +
                 px(y + dy) +
                 "\" stroke=\"#c0392b\" stroke-width=\"1.3\" marker-end=\"url(#head)\"/>\n";
        }
      }
      const char* fill = central ? "#e67e22" : (body.mass > 0.0 ? "#2c6fbb" : "white");
      svg += "<circle cx=\"" + px(x) + "\" cy=\"" + px(y) + "\" r=\"" + px(r) + "\" fill=\"" +
             fill + "\" stroke=\"#1b3d66\" stroke-width=\"0.8\"/>\n";
      if (central) {
        svg += "<circle cx=\"" + px(x) + "\" cy=\"" + px(y) + "\" r=\"" + px(r + 5.0) +
               "\" fill=\"none\" stroke=\"#e67e22\" stroke-width=\"1.5\"/>\n";
      }
    }
    // Numbers beside the bodies; bodies drawn on one spot share a label: "4, 5".
    std::vector<std::string> labels(bodies.size());
    std::vector<int> labelOwner(bodies.size());
    for (int i = 0; i < static_cast<int>(bodies.size()); ++i) {
      labelOwner[i] = i;
      if (i != 0 && bodies.size() > kLabelledBodies) continue;
      for (int j = 0; j < i; ++j) {
        if (labelOwner[j] != j || labels[j].empty()) continue;
        const double dx =
            (bodies[i].position[view.horizontal] - bodies[j].position[view.horizontal]);
        const double dy = (bodies[i].position[view.vertical] - bodies[j].position[view.vertical]);
        if (std::hypot(finite(dx), finite(dy)) * scale < kSameSpot) {
          labelOwner[i] = j;
          break;
        }
      }
      std::string& label = labels[labelOwner[i]];
      label += (label.empty() ? "" : ", ") + std::to_string(i + 1);
    }
    for (int i = 0; i < static_cast<int>(bodies.size()); ++i) {
      if (labels[i].empty()) continue;
      // above right of a body; below right of the central body, whose ring the orbiting
      // bodies surround
      const double r = dotRadius(bodies[i].radius) + (i == 0 ? 5.0 : 0.0);
      const double below = i == 0 ? 2.0 * r + 12.0 : 0.0;
      svg += "<text x=\"" + px(toX(bodies[i].position[view.horizontal]) + r + 3.0) + "\" y=\"" +
             px(toY(bodies[i].position[view.vertical]) - r - 2.0 + below) +
             "\" font-size=\"11\" fill=\"#333\">" + labels[i] + "</text>\n";
    }
    svg += "</g>\n";
  }

  std::string legend = "orange ring: central body (1); dots: ";
  legend += trueSize ? "radii to scale (at least " + formatGeneral(kMinDotRadius, 2) + " px)"
                     : "radius relative to the largest body (true radii are under " +
                           formatGeneral(std::max(largestRadius * scale, 0.01), 2) + " px)";
  legend +=
      "; hollow: massless; arrows: velocity, the longest " + formatGeneral(fastest, 4) + " L/T";
  svg += "<text x=\"" + px(kWidth / 2.0) + "\" y=\"" + px(kHeight - 12.0) +
         "\" text-anchor=\"middle\" font-size=\"12\" fill=\"#333\">" + escapeText(legend) +
         "</text>\n";
  svg += "</svg>\n";
  return svg;
}

std::string writePlot(const std::string& path, const InitialData& data, const std::string& name) {
  const std::string svg = renderPlot(data, name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return std::string("cannot be written: ") + std::strerror(errno);
  const bool written = std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) return std::string("cannot be written: ") + std::strerror(writeError);
  if (!closed) return std::string("cannot be written: ") + std::strerror(errno);
  return "";
}
