// Numbers and colours: log ... rand, mod, rgb, hue, saturation, brightness.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "lang/functions.h"
#include "model/color.h"
#include "model/color_table.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/random_source.h"

namespace fernweave {

namespace {

// A one-operand numeric function: the operand must be a number, a text or a date (a
// value of unknown type is read too); its text is read as a number and the result is
// written with six significant digits.
class AANumFun : public AAFunction {
 public:
  using Compute1 = double (*)(double);
  AANumFun(FunctionCall call, Compute1 compute)
      : AAFunction(std::move(call), kTypeNumber, 9997), compute_(compute) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    if (operand_ == nullptr) {
      return std::string();
    }
    const int type = operand_->AttributeType(node);
    if (!(IsNumericType(type) || type == kTypeString || type == kTypeDate ||
          type == kTypeUnknown)) {
      return std::string();
    }
    return FormatNumber(compute_(LeadingNumber(operand_->Get(node, args))));
  }

 private:
  Compute1 compute_;
};

double Rand(double) {
  return static_cast<double>(Random().Raw()) / static_cast<double>(RandomSource::kRawMax);
}

// The number read as a whole number toward zero, saturated to the 64-bit range; 0 for
// a NaN.
int64_t WholeNumber(double x) {
  if (std::isnan(x)) {
    return 0;
  }
  if (x >= 9.2233720368547758e18) {
    return std::numeric_limits<int64_t>::max();
  }
  if (x <= -9.2233720368547758e18) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(x);
}

// mod(a, b): the remainder of the whole numbers, with the sign of a; 0 when b is 0 or
// missing. A remainder by -1 is always 0; it is answered without dividing, since the
// smallest whole number divided by -1 overflows and traps.
class AAMod : public AAFunction {
 public:
  explicit AAMod(FunctionCall call) : AAFunction(std::move(call), kTypeNumber) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    if (ArgumentCount() < 2) {
      return "0";
    }
    const int64_t a = WholeNumber(LeadingNumber(ArgumentText(0, node, args)));
    const int64_t b = WholeNumber(LeadingNumber(ArgumentText(1, node, args)));
    if (b == 0 || b == -1) {
      return "0";
    }
    return std::to_string(a % b);
  }
};

uint16_t Channel(double x) {
  if (!(x > 0)) {
    return 0;
  }
  return static_cast<uint16_t>(std::lround(std::min(x, 255.0)) * 257);
}

// rgb(red, green, blue), each 0-255 (clamped): the colour's "#rrggbb" text.
class AARGB : public AAFunction {
 public:
  explicit AARGB(FunctionCall call) : AAFunction(std::move(call), kTypeColor) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    const PColor color(Channel(LeadingNumber(ArgumentText(0, node, args))),
                       Channel(LeadingNumber(ArgumentText(1, node, args))),
                       Channel(LeadingNumber(ArgumentText(2, node, args))));
    return color.ToHex();
  }
};

// Hue in degrees [0, 360), saturation and brightness in per cent.
struct HSB {
  double hue = 0;
  double saturation = 0;
  double brightness = 0;
};

HSB ToHSB(const PColor& c) {
  const double r = c.red / 65535.0;
  const double g = c.green / 65535.0;
  const double b = c.blue / 65535.0;
  const double max = std::max({r, g, b});
  const double min = std::min({r, g, b});
  const double delta = max - min;
  HSB out;
  out.brightness = max * 100;
  out.saturation = max > 0 ? delta / max * 100 : 0;
  if (delta > 0) {
    double h;
    if (max == r) {
      h = std::fmod((g - b) / delta, 6.0);
    } else if (max == g) {
      h = (b - r) / delta + 2;
    } else {
      h = (r - g) / delta + 4;
    }
    out.hue = h * 60;
    if (out.hue < 0) {
      out.hue += 360;
    }
  }
  return out;
}

std::string HSBText(const HSB& hsb) {
  PColor color;
  const std::string form = "HSV(" + FormatNumber(hsb.hue) + "," +
                           FormatNumber(hsb.saturation) + "," + FormatNumber(hsb.brightness) +
                           ")";
  color.FromString(form);
  return color.ToHex();
}

// The colour a text stands for in the note's document: a colour form, else a name of
// the document's colour table. False when it is neither.
bool ReadColor(const Node* node, const std::string& text, PColor* color) {
  if (color->FromString(text) && text != "transparent") {
    return true;
  }
  const auto* doc = dynamic_cast<const Orvex*>(node->GetHypertext());
  return doc != nullptr && doc->Colors().Resolve(text, color);
}

double Clamp(double x, double low, double high) {
  if (std::isnan(x)) {
    return low;
  }
  return std::min(std::max(x, low), high);
}

// hue, saturation, brightness: a component of the colour, or the colour with it
// changed (brightness as a percentage of the present brightness).
class AAColorComponent : public AAFunction {
 public:
  explicit AAColorComponent(FunctionCall call) : AAFunction(std::move(call), kTypeUnknown) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    PColor color;
    if (!ReadColor(node, ArgumentText(0, node, args), &color)) {
      return std::string();
    }
    HSB hsb = ToHSB(color);
    if (ArgumentCount() < 2) {
      if (canonical() == "hue") {
        return FormatNumber(hsb.hue);
      }
      if (canonical() == "saturation") {
        return FormatNumber(hsb.saturation);
      }
      return FormatNumber(std::round(hsb.brightness));
    }
    const double value = LeadingNumber(ArgumentText(1, node, args));
    if (canonical() == "hue") {
      hsb.hue = std::isfinite(value) ? std::fmod(value, 360.0) : 0;
    } else if (canonical() == "saturation") {
      hsb.saturation = Clamp(value, 0, 100);
    } else {
      hsb.brightness = Clamp(hsb.brightness * value / 100, 0, 100);
    }
    return HSBText(hsb);
  }
};

}  // namespace

std::unique_ptr<AAValue> MakeNumericFunction(FunctionCall call) {
  const std::string& f = call.canonical;
  AANumFun::Compute1 compute = nullptr;
  if (f == "log") {
    compute = [](double x) { return std::log(x); };
  } else if (f == "sqrt") {
    compute = [](double x) { return std::sqrt(x); };
  } else if (f == "abs") {
    compute = [](double x) { return std::fabs(x); };
  } else if (f == "sin") {
    compute = [](double x) { return std::sin(x); };
  } else if (f == "cos") {
    compute = [](double x) { return std::cos(x); };
  } else if (f == "tan") {
    compute = [](double x) { return std::tan(x); };
  } else if (f == "atan") {
    compute = [](double x) { return std::atan(x); };
  } else if (f == "radians") {
    // The system's constant, not a longer pi: stored results depend on it.
    compute = [](double x) { return x * 3.1415927 / 180; };
  } else if (f == "round") {
    compute = [](double x) { return std::round(x); };
  } else if (f == "rand") {
    compute = Rand;
  }
  if (compute != nullptr) {
    return std::make_unique<AANumFun>(std::move(call), compute);
  }
  if (f == "mod") {
    return std::make_unique<AAMod>(std::move(call));
  }
  if (f == "rgb") {
    return std::make_unique<AARGB>(std::move(call));
  }
  return std::make_unique<AAColorComponent>(std::move(call));
}

}  // namespace fernweave
