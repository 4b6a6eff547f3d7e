#include "evaluation/Report.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/FileReplace.h"
#include "evaluation/PngEncoding.h"
#include "evaluation/RatePlot.h"
#include "base/TextFormat.h"

namespace filamorph::evaluation {
namespace {

constexpr int kDifferenceGain = 4;

constexpr const char* kStyle = R"(
body { font-family: system-ui, sans-serif; margin: 24px 32px; color: #222; background: #f6f6f4; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 18px; margin: 0 0 12px; }
p.lead { color: #555; margin: 0 0 18px; }
table { border-collapse: collapse; background: #fff; font-size: 13px; }
th, td { padding: 4px 10px; border-bottom: 1px solid #e2e2e2; text-align: right; white-space: nowrap; }
th { background: #eceae4; font-weight: 600; }
td:first-child, th:first-child { text-align: left; }
th.jpeg, td.jpeg { background: #eef3fa; }
td.error { color: #a40000; text-align: left; }
section { background: #fff; border: 1px solid #ddd; border-radius: 6px; padding: 16px 20px; margin: 22px 0; }
.pictures { display: flex; flex-wrap: wrap; gap: 14px; }
figure { margin: 0; width: 200px; }
figure img { width: 200px; image-rendering: pixelated; border: 1px solid #ccc; background: #000; display: block; }
figcaption { font-size: 12px; color: #444; margin-top: 4px; line-height: 1.35; }
figcaption b { color: #222; }
.plot { margin-top: 18px; }
.notes { font-size: 12px; color: #7a4b00; }
)";

std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string decibels(double value) {
  return std::isinf(value) ? "&infin;" : format("%.2f", value);
}
std::string similarity(double value) {
  return std::isnan(value) ? "n/a" : format("%.4f", value);
}

std::string figure(const Plane<uint8_t>& picture, const std::string& title, const std::string& detail) {
  return "<figure><img alt=\"" + escape(title) + "\" src=\"" + pngDataUri(picture) + "\"><figcaption><b>" + title +
         "</b><br>" + detail + "</figcaption></figure>\n";
}

std::string summaryTable(const std::vector<ImageEvaluation>& results) {
  std::string html =
      "<table>\n<tr><th>image</th><th>size</th><th>keep</th><th>bytes</th><th>bpp</th><th>contours</th>"
      "<th>points</th><th>PSNR dB</th><th>SSIM</th><th>sweeps</th><th class=\"jpeg\">JPEG q</th>"
      "<th class=\"jpeg\">bytes</th><th class=\"jpeg\">bpp</th><th class=\"jpeg\">PSNR dB</th>"
      "<th class=\"jpeg\">SSIM</th><th>time s</th><th>converged PSNR dB</th><th>converged SSIM</th>"
      "<th>CG steps</th><th>converged s</th></tr>\n";
  for (const ImageEvaluation& r : results) {
    if (!r.ok()) {
      html += "<tr><td title=\"" + escape(r.name) + "\">" + escape(std::filesystem::path(r.name).filename().string()) +
              "</td><td class=\"error\" colspan=\"19\">" + escape(r.error) + "</td></tr>\n";
      continue;
    }
    const StageTimes& t = r.times;
    const double seconds =
        (t.import + t.detection + t.tracing + t.model + t.writing + t.reading + t.reconstruction) / 1000.0;
    html += "<tr><td><a href=\"#image-" + std::to_string(&r - results.data()) + "\" title=\"" + escape(r.name) + "\">" +
            escape(std::filesystem::path(r.name).filename().string()) + "</a></td>";
    html += format("<td>%" PRId32 "&times;%" PRId32 "</td><td>%s</td><td>%" PRIu64 "</td><td>%.3f</td><td>%" PRId64
                   "</td><td>%" PRId64 "</td>",
                   r.width, r.height, r.codec.keep.c_str(), r.codec.bytes, r.codec.bitsPerPixel, r.codec.contours,
                   r.codec.points);
    html += "<td>" + decibels(r.codec.psnr) + "</td><td>" + similarity(r.codec.ssim) + "</td>";
    html += format("<td>%" PRId32 "</td><td class=\"jpeg\">%d</td><td class=\"jpeg\">%" PRIu64
                   "</td><td class=\"jpeg\">%.3f</td>",
                   r.codec.sweeps, r.jpeg.quality, r.jpeg.bytes, r.jpeg.bitsPerPixel);
    html += "<td class=\"jpeg\">" + decibels(r.jpeg.psnr) + "</td><td class=\"jpeg\">" + similarity(r.jpeg.ssim) +
            "</td>" + format("<td>%.2f</td>", seconds);
    html +=
        "<td>" + decibels(r.codec.convergedPsnr) + "</td><td>" + similarity(r.codec.convergedSsim) + "</td>" +
        format("<td>%" PRId32 "</td><td>%.3f</td></tr>\n", r.codec.convergedSteps, t.convergedReconstruction / 1000.0);
  }
  return html + "</table>\n";
}

std::string imageSection(const ImageEvaluation& r, std::size_t index) {
  const ReportPictures& p = *r.pictures;
  std::string html = "<section id=\"image-" + std::to_string(index) + "\">\n<h2>" + escape(r.name) +
                     format(" <small>(%" PRId32 " &times; %" PRId32 ")</small></h2>\n", r.width, r.height);
  html += "<div class=\"pictures\">\n";
  html += figure(p.original, "Original", "gray plane as Open Image imports it");
  html += figure(p.edges, "Edge map", "after Detect Contours");
  html += figure(p.model, "Model",
                 format("depth plane as the model view shows it; %" PRId64 " contours, %" PRId64 " points in the file",
                        r.codec.contours, r.codec.points));
  html += figure(
      p.reconstruction, "Reconstruction",
      format("--keep %s: %" PRIu64 " bytes, %.3f bpp<br>", r.codec.keep.c_str(), r.codec.bytes, r.codec.bitsPerPixel) +
          "PSNR " + decibels(r.codec.psnr) + " dB, SSIM " + similarity(r.codec.ssim));
  html += figure(amplifiedDifference(p.reconstruction, p.original, kDifferenceGain), "Difference",
                 format("|reconstruction &minus; original| &times; %d", kDifferenceGain));
  html +=
      figure(p.jpeg, "JPEG at matched size",
             format("quality %d: %" PRIu64 " bytes, %.3f bpp<br>", r.jpeg.quality, r.jpeg.bytes, r.jpeg.bitsPerPixel) +
                 "PSNR " + decibels(r.jpeg.psnr) + " dB, SSIM " + similarity(r.jpeg.ssim));
  html += "</div>\n<div class=\"plot\">\n" + ratePlotSvg(r.rateCurve, r.jpegCurve, r.codec, r.jpeg) + "</div>\n";
  if (!r.messages.empty()) {
    html += "<p class=\"notes\">Codec messages:";
    for (const std::string& message : r.messages) html += "<br>" + escape(message);
    html += "</p>\n";
  }
  return html + "</section>\n";
}

// Which programs measured the images: results gathered on many machines may come from several.
std::string buildsLine(const std::vector<ImageEvaluation>& results) {
  std::vector<std::string> builds;
  for (const ImageEvaluation& r : results) {
    if (std::find(builds.begin(), builds.end(), r.build) == builds.end()) builds.push_back(r.build);
  }
  if (builds.empty()) return "";
  std::sort(builds.begin(), builds.end());
  std::string line = "<p class=\"lead\">Measured with filamorph ";
  for (const std::string& build : builds) line += escape(build) + (&build == &builds.back() ? "" : ", ");
  return line + ".</p>\n";
}

}  // namespace

Plane<uint8_t> amplifiedDifference(const Plane<uint8_t>& a, const Plane<uint8_t>& b, int gain) {
  Plane<uint8_t> difference;
  difference.allocate(a.rows(), a.cols());
  for (std::size_t i = 0; i < difference.size(); ++i) {
    const int amplified = std::abs(static_cast<int>(a.data()[i]) - static_cast<int>(b.data()[i])) * gain;
    difference.data()[i] = static_cast<uint8_t>(std::min(amplified, 255));
  }
  return difference;
}

std::string reportHtml(const std::vector<ImageEvaluation>& results, const EvaluationSettings& settings) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Filamorph evaluation</title>\n<style>";
  html += kStyle;
  html += "</style>\n</head>\n<body>\n<h1>Filamorph evaluation</h1>\n";
  html += format(
      "<p class=\"lead\">Each image coded with --keep %s (weights %g, %g, %g), decoded in fresh objects "
      "and reconstructed; measured against the gray plane that Open Image imports. JPEG: baseline gray "
      "(libjpeg-turbo) at the quality whose file size is closest. Rate curves: --keep ",
      settings.choice.label().c_str(), static_cast<double>(settings.choice.lengthWeight),
      static_cast<double>(settings.choice.curvatureWeight), static_cast<double>(settings.choice.contrastWeight));
  for (const ContourChoice& choice : settings.rateChoices) {
    html += choice.label() + (&choice == &settings.rateChoices.back() ? "." : ", ");
  }
  html += "</p>\n" + buildsLine(results) + summaryTable(results);
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (results[i].ok() && results[i].pictures) html += imageSection(results[i], i);
  }
  return html + "</body>\n</html>\n";
}

Status writeReport(const std::string& page, const std::vector<ImageEvaluation>& results,
                   const EvaluationSettings& settings) {
  std::string html;
  try {
    html = reportHtml(results, settings);
  } catch (const std::exception& error) {
    return Status::failure(ErrorKind::InputOutput, "cannot make the report: " + std::string(error.what()));
  }
  ReplacingFile file(page);
  if (file.temporaryPath().empty())
    return Status::failure(ErrorKind::InputOutput, "cannot create a file in the folder of " + page);
  std::ofstream stream(file.temporaryPath(), std::ios::binary | std::ios::trunc);
  stream.write(html.data(), static_cast<std::streamsize>(html.size()));
  stream.close();
  if (!stream) return Status::failure(ErrorKind::InputOutput, "cannot write " + page);
  return file.commit();
}

}  // namespace filamorph::evaluation
