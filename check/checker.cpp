#include "check/checker.h"

#include <filesystem>
#include <string_view>

#include "check/check_report.h"
#include "check/data_file.h"
#include "check/parameter_file.h"
#include "check/svg_plot.h"
#include "textio/file_channel.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "kelvara4-check";
constexpr const char* kDefaultParameterFile = "Kelvara4.dat";

struct Options {
  bool help = false;
  std::string dataPath;       // "" when not given
  std::string parameterPath;  // "" when not given
  bool noParameters = false;
  std::string plotPath;  // "" when no picture is asked for
};

// Parses the arguments; returns "" or what is wrong with them.
std::string parseOptions(std::span<const std::string> arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--no-params") {
      options.noParameters = true;
    } else if (argument == "--params" || argument == "--plot") {
      if (i + 1 == arguments.size()) return argument + " needs a file name";
      (argument == "--params" ? options.parameterPath : options.plotPath) = arguments[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      return "unknown option " + argument;
    } else if (options.dataPath.empty()) {
      options.dataPath = argument;
    } else {
      return "more than one initial-data file: " + options.dataPath + " and " + argument;
    }
  }
  if (options.noParameters && !options.parameterPath.empty()) {
    return "--params and --no-params exclude each other";
  }
  return "";
}

// The file channels take names without leading and trailing blanks and of at most
// kMaxFileNameLength characters; anything else would open another file.
std::string checkPath(const std::string& path) {
  if (path.empty()) return "an empty file name";
  if (path.front() == ' ' || path.back() == ' ')
    return "a file name that begins or ends with a blank";
  if (path.size() > static_cast<size_t>(kMaxFileNameLength)) {
    return "a file name longer than " + std::to_string(kMaxFileNameLength) + " characters";
  }
  return "";
}

CheckerOutput notChecked(std::string_view name, std::string_view message) {
  CheckerOutput output;
  output.status = kStatusNotChecked;
  output.err = std::string(kProgram) + ": ";
  if (!name.empty()) {
    output.err.append(name);
    output.err += ": ";
  }
  output.err.append(message);
  output.err += "\n";
  return output;
}

}  // namespace

std::string helpText() {
  return R"(Usage: kelvara4-check [--params FILE | --no-params] [--plot PICTURE.svg] [DATAFILE]

Checks an initial-data file written by kelvara4 before it goes to an integrator: reads it
back with kelvara4's own free-format reader, recomputes what it describes and prints a
summary: the units (G = 1; mass, length, time and velocity units in SI), the barycentric
frame, the kinetic, potential and total energy, the virial ratio -2T/W, the angular
momentum, the orbit of every orbiting body about the central body, and the closest pair of
bodies in units of the sum of their radii.

  DATAFILE             the initial-data file; by default the one named in record 12
                       of the parameter file
  --params FILE        the parameter file of the run (default: Kelvara4.dat in the
                       working directory, when it is there); the data file it names is
                       looked for in the parameter file's folder
  --no-params          compare with no parameter file
  --plot PICTURE.svg   also draw the bodies seen from +z (x-y) and from -y (x-z), with
                       their velocities, into a self-contained SVG picture
  --help               this text

Exit status:
  0  consistent: the file reads, the counts in header and trailer match the body
     records, the cube-root count and the fixed values are right, the masses add up to 1,
     the barycentre and the total momentum vanish, the header's momentum and angular
     momentum equal the bodies' sums, the units make G = 1, and every orbiting body is on
     its orbit (that of the parameter file, or else the one most bodies share)
  1  not consistent: each problem is named on standard error and in the summary
  2  not checked: a file cannot be read (the message names the record, the value and the
     line where reading stopped), or the command line is wrong

Tolerances follow from the rounding the file can show: every value carries 16 significant
digits, so it may be off the run's double by u = 5e-16 of its size; the run rounds every
operation to eps = 2^-53 and sums over the N + 1 bodies in order.
  sums (masses, barycentre, momentum, angular momentum): (k u + (n + 8) eps) times the sum
      of the magnitudes of the terms, k the number of file values in a term (1, 2 or 3) and
      n the number of terms the run added (N + 1, or 2(N + 1) for the angular momentum)
  G M T^2/L^3: 1 + 2^-54 ln(G M T^2) (the run's cube root is a real power with the double
      nearest 1/3), within 4u + 16 eps
  orbits: the state of a body relative to the central body may be off by
      s = 2u + (8N + 32) eps (two values subtracted; up to N turns of the run, each a few
      roundings); with g = |G M T^2/L^3 - 1| and e the orbit's eccentricity,
      a/a0 - 1 within (2 s (5 + 3e) + g (1 + e)) / (1 - e) + 2u and
      e - e0 within 2 s (4 + 3e) + g (1 + e)
  radii: every body with mass gives the same density 3m/(4 pi r^3), within
      2 (4u + 2^-54 |ln r^3| + 8 eps)
  parameters: one 16-digit rounding and the run's few roundings

Overlapping bodies are a warning, not a problem: the run does not prevent them.
)";
}

CheckerOutput runChecker(std::span<const std::string> arguments) {
  Options options;
  if (const std::string wrong = parseOptions(arguments, options); !wrong.empty()) {
    return notChecked("", wrong + " (kelvara4-check --help explains the options)");
  }
  if (options.help) return {kStatusConsistent, helpText(), ""};

  // The parameter file: named, or Kelvara4.dat when it is there.
  std::string parameterPath = options.parameterPath;
  if (parameterPath.empty() && !options.noParameters) {
    std::error_code error;
    if (fs::exists(kDefaultParameterFile, error)) parameterPath = kDefaultParameterFile;
  }
  if (options.dataPath.empty() && parameterPath.empty()) {
    return notChecked("", std::string("no initial-data file given, and no ") +
                              kDefaultParameterFile + " in the working directory to name one");
  }
  ParameterValues parameters;
  if (!parameterPath.empty()) {
    if (const std::string wrong = checkPath(parameterPath); !wrong.empty()) {
      return notChecked(parameterPath, wrong);
    }
    const std::string message = readParameterFile(parameterPath, parameters);
    if (!message.empty()) {
      std::string text = "cannot be read as a parameter file: " + message;
      if (options.parameterPath.empty() && !options.dataPath.empty()) {
        text += " (--no-params checks the data file alone)";
      }
      return notChecked(parameterPath, text);
    }
  }

  std::string dataPath = options.dataPath;
  if (dataPath.empty()) {
    if (parameters.dataFileName.empty()) {
      return notChecked(parameterPath,
                        "record 12 (initialDataFileName) is blank, so the run took the name "
                        "from its command line or asked for it: name the initial-data file "
                        "as the argument");
    }
    dataPath = (fs::path(parameterPath).parent_path() / parameters.dataFileName).string();
  }
  if (const std::string wrong = checkPath(dataPath); !wrong.empty()) {
    return notChecked(dataPath, wrong);
  }

  InitialData data;
  if (const std::string message = readInitialData(dataPath, data); !message.empty()) {
    return notChecked(dataPath, "cannot be read: " + message);
  }

  CheckInput input;
  input.dataName = dataPath;
  input.data = &data;
  if (!parameterPath.empty()) {
    input.parameterName = parameterPath;
    input.parameters = &parameters;
  }
  const CheckResult result = checkInitialData(input);

  CheckerOutput output;
  output.out = result.summary;
  output.status = result.problems.empty() ? kStatusConsistent : kStatusInconsistent;
  for (const std::string& problem : result.problems) {
    output.err += std::string(kProgram) + ": " + dataPath + ": " + problem + "\n";
  }
  if (!options.plotPath.empty()) {
    const std::string message = writePlot(options.plotPath, data, dataPath);
    if (!message.empty()) {
      output.err += std::string(kProgram) + ": " + options.plotPath + ": " + message + "\n";
      output.status = kStatusNotChecked;
    }
  }
  return output;
}
