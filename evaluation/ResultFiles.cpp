#include "evaluation/ResultFiles.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>

#include "base/FileReplace.h"
#include "base/TextFormat.h"
#include "image/GrayImageFile.h"

namespace filamorph::evaluation {
namespace {

constexpr const char* kMagic = "filamorph-result 1";
constexpr const char* kResultSuffix = ".result";

// The pictures of the report, each with the suffix of its file.
struct PictureFile {
  const char* suffix;
  Plane<uint8_t> ReportPictures::*plane;
};
constexpr PictureFile kPictureFiles[] = {
    {".original.pgm", &ReportPictures::original}, {".edges.pgm", &ReportPictures::edges},
    {".model.pgm", &ReportPictures::model},       {".reconstruction.pgm", &ReportPictures::reconstruction},
    {".jpeg.pgm", &ReportPictures::jpeg},
};

// Texts are one field each: no tab or line break may end it early.
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
  }
  return out;
}

// Every double with 17 significant digits reads back as the same double, so
// the merged table, CSV and report print exactly what one run prints.
std::string exact(double value) {
  return format("%.17g", value);
}

std::string fileStem(const std::string& name) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a over the whole name: two folders' a.bmp differ
  for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  std::string stem = std::filesystem::path(name).filename().string();
  for (char& c : stem) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
  }
  return stem + format("-%016" PRIx64, hash);
}

std::string choiceLine(const ContourChoice& choice) {
  return "choice\t" + choice.label() + "\t" + format("%.9g", static_cast<double>(choice.lengthWeight)) + "\t" +
         format("%.9g", static_cast<double>(choice.curvatureWeight)) + "\t" +
         format("%.9g", static_cast<double>(choice.contrastWeight));
}

std::string codecFields(const CodecPoint& p) {
  return escaped(p.keep) + format("\t%" PRIu64 "\t", p.bytes) + exact(p.bitsPerPixel) +
         format("\t%" PRId64 "\t%" PRId64 "\t", p.contours, p.points) + exact(p.psnr) + "\t" + exact(p.ssim) +
         format("\t%" PRId32, p.sweeps) + "\t" + exact(p.convergedPsnr) + "\t" + exact(p.convergedSsim) +
         format("\t%" PRId32, p.convergedSteps);
}

std::string jpegFields(const JpegPoint& p) {
  return format("%d\t%" PRIu64 "\t", p.quality, p.bytes) + exact(p.bitsPerPixel) + "\t" + exact(p.psnr) + "\t" +
         exact(p.ssim);
}

std::string resultText(const ImageEvaluation& r, std::size_t position, const EvaluationSettings& settings) {
  std::string text = std::string(kMagic) + "\n";
  text += "name\t" + escaped(r.name) + "\n";
  text += format("position\t%zu\n", position);
  text += "build\t" + escaped(r.build) + "\n";
  text += choiceLine(settings.choice) + "\n";
  text += format("failure\t%d\n", static_cast<int>(r.failure));
  text += "error\t" + escaped(r.error) + "\n";
  text += format("size\t%" PRId32 "\t%" PRId32 "\n", r.width, r.height);
  text += "codec\t" + codecFields(r.codec) + "\n";
  text += "jpeg\t" + jpegFields(r.jpeg) + "\n";
  const StageTimes& t = r.times;
  text += "times";
  for (double time :
       {t.import, t.detection, t.tracing, t.model, t.writing, t.reading, t.reconstruction, t.convergedReconstruction}) {
    text += '\t';
    text += exact(time);
  }
  text += "\n";
  for (const std::string& message : r.messages) text += "message\t" + escaped(message) + "\n";
  for (const CodecPoint& point : r.rateCurve) text += "rate\t" + codecFields(point) + "\n";
  for (const JpegPoint& point : r.jpegCurve) text += "jpegcurve\t" + jpegFields(point) + "\n";
  text += format("pictures\t%d\n", r.pictures ? 1 : 0);
  return text;
}

Status writeText(const std::string& path, const std::string& text) {
  ReplacingFile file(path);
  if (file.temporaryPath().empty()) {
    return Status::failure(ErrorKind::InputOutput, "cannot create a file in the folder of " + path);
  }
  std::ofstream stream(file.temporaryPath(), std::ios::binary | std::ios::trunc);
  stream.write(text.data(), static_cast<std::streamsize>(text.size()));
  stream.close();
  if (!stream) return Status::failure(ErrorKind::InputOutput, "cannot write " + path);
  return file.commit();
}

// Reads the fields of one result file, in the order resultText writes them.
class ResultParser {
 public:
  explicit ResultParser(std::string path) : path_(std::move(path)) {}

  Status parse(const std::string& content, ImageEvaluation& r, std::size_t& position, ContourChoice& choice,
               bool& withPictures) {
    std::istringstream lines(content);
    std::string line;
    if (!std::getline(lines, line) || line != kMagic) return malformed("it is not a measurement result");
    while (std::getline(lines, line)) {
      fields_.clear();
      for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields_.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
      }
      next_ = 1;
      const std::string& key = fields_[0];
      if (key == "name") {
        r.name = text();
      } else if (key == "position") {
        position = static_cast<std::size_t>(whole());
      } else if (key == "build") {
        r.build = text();
      } else if (key == "choice") {
        choice.keepAll = fields_.size() > 1 && fields_[1] == "all";
        if (choice.keepAll) {
          ++next_;
        } else {
          choice.number = static_cast<int32_t>(whole());
        }
        choice.lengthWeight = static_cast<float>(real());
        choice.curvatureWeight = static_cast<float>(real());
        choice.contrastWeight = static_cast<float>(real());
      } else if (key == "failure") {
        r.failure = static_cast<ErrorKind>(whole());
      } else if (key == "error") {
        r.error = text();
      } else if (key == "size") {
        r.width = static_cast<int32_t>(whole());
        r.height = static_cast<int32_t>(whole());
      } else if (key == "codec") {
        r.codec = codecPoint();
      } else if (key == "jpeg") {
        r.jpeg = jpegPoint();
      } else if (key == "times") {
        StageTimes& t = r.times;
        for (double* time :
             {&t.import, &t.detection, &t.tracing, &t.model, &t.writing, &t.reading, &t.reconstruction,
              &t.convergedReconstruction}) {
          *time = real();
        }
      } else if (key == "message") {
        r.messages.push_back(text());
      } else if (key == "rate") {
        r.rateCurve.push_back(codecPoint());
      } else if (key == "jpegcurve") {
        r.jpegCurve.push_back(jpegPoint());
      } else if (key == "pictures") {
        withPictures = whole() != 0;
      } else {
        return malformed("unknown line \"" + key + "\"");
      }
      if (!bad_.empty()) return malformed(bad_ + " in line \"" + key + "\"");
    }
    return Status::success();
  }

 private:
  Status malformed(const std::string& what) const {
    return Status::failure(ErrorKind::MalformedFile, "cannot read " + path_ + ": " + what);
  }

  const std::string* field() {
    if (next_ >= fields_.size()) {
      bad_ = "a missing field";
      return nullptr;
    }
    return &fields_[next_++];
  }
  // The fallback keeps a half-read line harmless until parse() reports it.
  std::string text() {
    const std::string* f = field();
    return f ? unescaped(*f) : std::string();
  }
  long long whole() {
    const std::string* f = field();
    if (!f) return 0;
    char* end = nullptr;
    const long long value = std::strtoll(f->c_str(), &end, 10);
    if (f->empty() || *end != '\0') bad_ = "\"" + *f + "\" is not a whole number";
    return value;
  }
  double real() {
    const std::string* f = field();
    if (!f) return 0.0;
    char* end = nullptr;
    const double value = std::strtod(f->c_str(), &end);
    if (f->empty() || *end != '\0') bad_ = "\"" + *f + "\" is not a number";
    return value;
  }
  CodecPoint codecPoint() {
    CodecPoint p;
    p.keep = text();
    p.bytes = static_cast<uint64_t>(whole());
    p.bitsPerPixel = real();
    p.contours = whole();
    p.points = whole();
    p.psnr = real();
    p.ssim = real();
    p.sweeps = static_cast<int32_t>(whole());
    p.convergedPsnr = real();
    p.convergedSsim = real();
    p.convergedSteps = static_cast<int32_t>(whole());
    return p;
  }
  JpegPoint jpegPoint() {
    JpegPoint p;
    p.quality = static_cast<int>(whole());
    p.bytes = static_cast<uint64_t>(whole());
    p.bitsPerPixel = real();
    p.psnr = real();
    p.ssim = real();
    return p;
  }

  std::string path_;
  std::vector<std::string> fields_;
  std::size_t next_ = 1;
  std::string bad_;
};

// A PGM exactly as writeGrayImageFile writes it: "P5\n<cols> <rows>\n255\n" and the levels.
Status readPicture(const std::string& path, Plane<uint8_t>& plane) {
  std::ifstream stream(path, std::ios::binary);
  std::string magic;
  int32_t cols = 0;
  int32_t rows = 0;
  int maximum = 0;
  stream >> magic >> cols >> rows >> maximum;
  stream.get();
  if (!stream || magic != "P5" || maximum != 255 || cols <= 0 || rows <= 0) {
    return Status::failure(ErrorKind::MalformedFile, "cannot read the picture " + path);
  }
  plane.allocate(rows, cols);
  stream.read(reinterpret_cast<char*>(plane.data()), static_cast<std::streamsize>(plane.size()));
  if (!stream) return Status::failure(ErrorKind::MalformedFile, "the picture " + path + " is cut short");
  return Status::success();
}

Status readResult(const std::filesystem::path& resultPath, ImageEvaluation& result, std::size_t& position,
                  ContourChoice& choice) {
  const std::string path = resultPath.string();
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return Status::failure(ErrorKind::InputOutput, "cannot read " + path);
  const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  bool withPictures = false;
  if (Status parsed = ResultParser(path).parse(text, result, position, choice, withPictures); !parsed) return parsed;
  if (!withPictures) return Status::success();
  std::string stem = path.substr(0, path.size() - std::string(kResultSuffix).size());
  ReportPictures pictures;
  for (const PictureFile& picture : kPictureFiles) {
    if (Status read = readPicture(stem + picture.suffix, pictures.*picture.plane); !read) return read;
  }
  result.pictures = std::move(pictures);
  return Status::success();
}

}  // namespace

Status writeResultFiles(const std::string& folder, const ImageEvaluation& result, std::size_t position,
                        const EvaluationSettings& settings) {
  const std::string stem = (std::filesystem::path(folder) / fileStem(result.name)).string();
  if (result.pictures) {
    for (const PictureFile& picture : kPictureFiles) {
      if (Status written = writeGrayImageFile(stem + picture.suffix, *result.pictures.*picture.plane); !written) {
        return written;
      }
    }
  }
  return writeText(stem + kResultSuffix, resultText(result, position, settings));
}

Status readResultFolders(const std::vector<std::string>& folders, ResultCollection& collection) {
  collection = ResultCollection{};
  std::optional<std::string> firstChoice;
  std::string firstPath;
  std::vector<std::pair<std::size_t, ImageEvaluation>> placed;
  for (const std::string& folder : folders) {
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().extension() == kResultSuffix) files.push_back(entry.path());
    }
    if (error) return Status::failure(ErrorKind::InputOutput, "cannot read the folder " + folder);
    for (const std::filesystem::path& file : files) {
      ImageEvaluation result;
      std::size_t position = 0;
      ContourChoice choice;
      if (Status read = readResult(file, result, position, choice); !read) return read;
      const std::string line = choiceLine(choice);
      if (!firstChoice) {
        firstChoice = line;
        firstPath = file.string();
        collection.settings.choice = choice;
      } else if (line != *firstChoice) {
        return Status::failure(ErrorKind::MalformedFile, file.string() + " was measured with other contours than " +
                                                             firstPath + ": its results cannot share one table");
      }
      placed.emplace_back(position, std::move(result));
    }
  }
  std::sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  for (auto& [position, result] : placed) {
    for (const ImageEvaluation& earlier : collection.results) {
      if (earlier.name == result.name) {
        return Status::failure(ErrorKind::MalformedFile, result.name + " was measured twice");
      }
    }
    collection.results.push_back(std::move(result));
  }
  collection.settings.withReport = true;
  collection.settings.rateChoices = standardRateChoices(collection.settings.choice);
  return Status::success();
}

}  // namespace filamorph::evaluation
