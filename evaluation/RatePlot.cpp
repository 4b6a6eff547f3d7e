#include "evaluation/RatePlot.h"
#include "base/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace filamorph::evaluation {
namespace {

constexpr double kWidth = 820.0;
constexpr double kHeight = 400.0;
constexpr double kLeft = 64.0;
constexpr double kRight = 24.0;
constexpr double kTop = 24.0;
constexpr double kBottom = 56.0;
constexpr const char* kCodecColour = "#c0392b";
constexpr const char* kJpegColour = "#2563a8";
constexpr const char* kConvergedColour = "#1e8449";

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` intervals.
double niceStep(double range, int ticks) {
  const double raw = range / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= raw) return factor * power;
  }
  return 10.0 * power;
}

struct Axis {
  double low = 0.0;
  double high = 1.0;
  double step = 0.2;

  static Axis around(double low, double high, bool fromZero) {
    if (fromZero) low = 0.0;
    if (!(high > low)) {
      high = low + 1.0;
      low = fromZero ? 0.0 : low - 1.0;
    }
    Axis axis;
    axis.step = niceStep(high - low, 6);
    axis.low = std::floor(low / axis.step) * axis.step;
    axis.high = std::ceil(high / axis.step) * axis.step;
    return axis;
  }
  double fraction(double value) const { return (value - low) / (high - low); }
};

// Enough decimals to tell the ticks of this step apart.
int decimalsFor(double step) { return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9))); }

// A point label's box, centred at x with its baseline at y.
struct LabelBox {
  double x, y, width;
  bool overlaps(const LabelBox& other) const {
    constexpr double kLineHeight = 12.0;
    return std::abs(x - other.x) * 2 < width + other.width && std::abs(y - other.y) < kLineHeight;
  }
};

// Above the point unless an earlier label is there, then below, then to the right.
LabelBox placeLabel(double x, double y, const std::string& text, std::vector<LabelBox>& placed) {
  const double width = 6.5 * static_cast<double>(text.size()) + 2.0;
  const LabelBox candidates[] = {{x, y - 9, width}, {x, y + 17, width}, {x + 10 + width / 2, y + 4, width}};
  for (const LabelBox& box : candidates) {
    if (std::none_of(placed.begin(), placed.end(), [&](const LabelBox& other) { return box.overlaps(other); })) {
      placed.push_back(box);
      return box;
    }
  }
  placed.push_back(candidates[0]);
  return candidates[0];
}

}  // namespace

std::string ratePlotSvg(const std::vector<CodecPoint>& codec, const std::vector<JpegPoint>& jpeg,
                        const CodecPoint& chosen, const JpegPoint& matched) {
  std::vector<std::pair<double, double>> codecLine;
  std::vector<std::pair<double, double>> jpegLine;
  std::vector<std::pair<double, double>> convergedLine;
  for (const CodecPoint& p : codec) {
    if (std::isfinite(p.psnr)) codecLine.emplace_back(p.bitsPerPixel, p.psnr);
    if (std::isfinite(p.convergedPsnr)) convergedLine.emplace_back(p.bitsPerPixel, p.convergedPsnr);
  }
  for (const JpegPoint& p : jpeg) {
    if (std::isfinite(p.psnr)) jpegLine.emplace_back(p.bitsPerPixel, p.psnr);
  }
  std::sort(codecLine.begin(), codecLine.end());
  std::sort(jpegLine.begin(), jpegLine.end());
  std::sort(convergedLine.begin(), convergedLine.end());

  double maxRate = 0.0;
  double minQuality = INFINITY;
  double maxQuality = -INFINITY;
  for (const auto* line : {&codecLine, &jpegLine, &convergedLine}) {
    for (const auto& [rate, quality] : *line) {
      maxRate = std::max(maxRate, rate);
      minQuality = std::min(minQuality, quality);
      maxQuality = std::max(maxQuality, quality);
    }
  }
  if (!std::isfinite(minQuality)) minQuality = maxQuality = 0.0;
  const Axis x = Axis::around(0.0, maxRate, true);
  const Axis y = Axis::around(std::floor(minQuality - 0.5), std::ceil(maxQuality + 0.5), false);

  const double plotWidth = kWidth - kLeft - kRight;
  const double plotHeight = kHeight - kTop - kBottom;
  auto px = [&](double rate) { return kLeft + x.fraction(rate) * plotWidth; };
  auto py = [&](double quality) { return kTop + (1.0 - y.fraction(quality)) * plotHeight; };

  std::string svg = format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" width=\"%.0f\" height=\"%.0f\" "
      "font-family=\"sans-serif\" font-size=\"12\" role=\"img\" aria-label=\"rate-distortion plot\">\n",
      kWidth, kHeight, kWidth, kHeight);
  svg += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#fff\" stroke=\"#999\"/>\n", kLeft,
                kTop, plotWidth, plotHeight);

  const int xDecimals = decimalsFor(x.step);
  for (double tick = x.low; tick <= x.high + x.step * 1e-6; tick += x.step) {
    svg += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>"
                  "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" fill=\"#444\">%.*f</text>\n",
                  px(tick), kTop, px(tick), kTop + plotHeight, px(tick), kTop + plotHeight + 16, xDecimals, tick);
  }
  const int yDecimals = decimalsFor(y.step);
  for (double tick = y.low; tick <= y.high + y.step * 1e-6; tick += y.step) {
    svg += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>"
                  "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\" fill=\"#444\">%.*f</text>\n",
                  kLeft, py(tick), kLeft + plotWidth, py(tick), kLeft - 6, py(tick) + 4, yDecimals, tick);
  }
  svg += format("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" fill=\"#222\">bits per pixel</text>\n",
                kLeft + plotWidth / 2, kHeight - 14);
  svg += format("<text transform=\"translate(16 %.1f) rotate(-90)\" text-anchor=\"middle\" fill=\"#222\">"
                "PSNR (dB)</text>\n",
                kTop + plotHeight / 2);

  auto polyline = [&](const std::vector<std::pair<double, double>>& line, const char* colour) {
    if (line.size() < 2) return;
    svg += format("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"2\" points=\"", colour);
    for (const auto& [rate, quality] : line) svg += format("%.1f,%.1f ", px(rate), py(quality));
    svg += "\"/>\n";
  };
  polyline(jpegLine, kJpegColour);
  polyline(codecLine, kCodecColour);
  polyline(convergedLine, kConvergedColour);
  for (const auto& [rate, quality] : convergedLine) {
    svg +=
        format("<path d=\"M%.1f %.1fl4 4l-4 4l-4 -4z\" fill=\"%s\"/>\n", px(rate), py(quality) - 4, kConvergedColour);
  }
  for (const auto& [rate, quality] : jpegLine) {
    svg += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"5\" height=\"5\" fill=\"%s\"/>\n", px(rate) - 2.5,
                  py(quality) - 2.5, kJpegColour);
  }
  std::vector<LabelBox> placed;
  // Choices that make the same file (fewer contours than the number kept)
  // share one point and one label, e.g. "32–all".
  for (std::size_t first = 0; first < codec.size();) {
    std::size_t last = first;
    while (last + 1 < codec.size() && codec[last + 1].bytes == codec[first].bytes &&
           codec[last + 1].psnr == codec[first].psnr) {
      ++last;
    }
    const CodecPoint& p = codec[first];
    const std::string label = last == first ? p.keep : p.keep + "\u2013" + codec[last].keep;
    first = last + 1;
    if (!std::isfinite(p.psnr)) continue;
    const LabelBox box = placeLabel(px(p.bitsPerPixel), py(p.psnr), label, placed);
    svg += format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" fill=\"%s\"><title>keep %s: %.3f bpp, %.2f dB</title>"
                  "</circle><text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" fill=\"%s\" font-size=\"11\">%s</text>\n",
                  px(p.bitsPerPixel), py(p.psnr), kCodecColour, label.c_str(), p.bitsPerPixel, p.psnr, box.x, box.y,
                  kCodecColour, label.c_str());
  }
  if (std::isfinite(chosen.psnr)) {
    svg += format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"8\" fill=\"none\" stroke=\"%s\" stroke-width=\"2\"/>\n",
                  px(chosen.bitsPerPixel), py(chosen.psnr), kCodecColour);
  }
  if (std::isfinite(matched.psnr)) {
    svg += format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"8\" fill=\"none\" stroke=\"%s\" stroke-width=\"2\"/>"
                  "<text x=\"%.1f\" y=\"%.1f\" fill=\"%s\" font-size=\"11\">q%d</text>\n",
                  px(matched.bitsPerPixel), py(matched.psnr), kJpegColour, px(matched.bitsPerPixel) + 10,
                  py(matched.psnr) + 14, kJpegColour, matched.quality);
  }

  // Legend in the lower right, where rising curves leave room.
  const double legendX = kLeft + plotWidth - 210;
  const bool withConverged = !convergedLine.empty();
  const double legendY = kTop + plotHeight - (withConverged ? 70 : 52);
  svg += format(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"200\" height=\"%d\" fill=\"#fff\" fill-opacity=\"0.9\" "
      "stroke=\"#ccc\"/>\n",
      legendX, legendY, withConverged ? 62 : 44);
  svg += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"2\"/>"
                "<text x=\"%.1f\" y=\"%.1f\">Filamorph, labelled by --keep</text>\n",
                legendX + 8, legendY + 14, legendX + 30, legendY + 14, kCodecColour, legendX + 36, legendY + 18);
  svg += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"2\"/>"
                "<text x=\"%.1f\" y=\"%.1f\">JPEG, rising quality</text>\n",
                legendX + 8, legendY + 32, legendX + 30, legendY + 32, kJpegColour, legendX + 36, legendY + 36);
  if (withConverged) {
    svg += format(
        "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"2\"/>"
        "<text x=\"%.1f\" y=\"%.1f\">Filamorph, converged fill-in</text>\n",
        legendX + 8, legendY + 50, legendX + 30, legendY + 50, kConvergedColour, legendX + 36, legendY + 54);
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace filamorph::evaluation
