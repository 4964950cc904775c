#include "variant.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "rounding.h"

namespace {

const char* KindName(Variant::TKind kind) {
  switch (kind) {
    case Variant::TKind::Integer:
      return "Int64";
    case Variant::TKind::Double:
      return "Double";
    case Variant::TKind::Boolean:
      return "Boolean";
    case Variant::TKind::Text:
      return "String";
  }
  return "Unknown";
}

[[noreturn]] void RaiseCast(Variant::TKind from, Variant::TKind to) {
  throw EVariantTypeCastError(std::string("Could not convert variant of type (") + KindName(from) +
                              ") into type (" + KindName(to) + ")");
}

// The text without the blanks around it.
std::string_view Trimmed(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  return std::string_view(text).substr(first, last - first);
}

bool ParseWhole(std::string_view text, int64_t& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() &&
         std::isfinite(value);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

[[noreturn]] void RaiseOverflow() {
  throw Exception("Integer overflow");
}

double Finite(double value) {
  if (!std::isfinite(value)) throw Exception("Floating point overflow");
  return value;
}

}  // namespace

int64_t Variant::AsInteger() const {
  switch (Kind()) {
    case TKind::Integer:
      return std::get<int64_t>(FValue);
    case TKind::Double:
      return RoundHalfEven(std::get<double>(FValue));
    case TKind::Boolean:
      return std::get<bool>(FValue) ? -1 : 0;
    case TKind::Text: {
      std::string_view text = Trimmed(std::get<std::string>(FValue));
      int64_t whole = 0;
      if (ParseWhole(text, whole)) return whole;
      double number = 0;
      if (ParseNumber(text, number)) return RoundHalfEven(number);
      RaiseCast(TKind::Text, TKind::Integer);
    }
  }
  return 0;
}

double Variant::AsDouble() const {
  switch (Kind()) {
    case TKind::Integer:
      return static_cast<double>(std::get<int64_t>(FValue));
    case TKind::Double:
      return std::get<double>(FValue);
    case TKind::Boolean:
      return std::get<bool>(FValue) ? -1.0 : 0.0;
    case TKind::Text: {
      double number = 0;
      if (ParseNumber(Trimmed(std::get<std::string>(FValue)), number)) return number;
      RaiseCast(TKind::Text, TKind::Double);
    }
  }
  return 0;
}

bool Variant::AsBoolean() const {
  switch (Kind()) {
    case TKind::Integer:
      return std::get<int64_t>(FValue) != 0;
    case TKind::Double:
      return std::get<double>(FValue) != 0.0;
    case TKind::Boolean:
      return std::get<bool>(FValue);
    case TKind::Text: {
      std::string_view text = Trimmed(std::get<std::string>(FValue));
      if (EqualsIgnoringCase(text, "true")) return true;
      if (EqualsIgnoringCase(text, "false")) return false;
      double number = 0;
      if (ParseNumber(text, number)) return number != 0.0;
      RaiseCast(TKind::Text, TKind::Boolean);
    }
  }
  return false;
}

std::string Variant::AsString() const {
  switch (Kind()) {
    case TKind::Integer:
      return std::to_string(std::get<int64_t>(FValue));
    case TKind::Double: {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", std::get<double>(FValue));
      return text;
    }
    case TKind::Boolean:
      return std::get<bool>(FValue) ? "True" : "False";
    case TKind::Text:
      return std::get<std::string>(FValue);
  }
  return {};
}

int Variant::Compare(const Variant& other) const {
  if (IsText() && other.IsText()) {
    int order = std::get<std::string>(FValue).compare(std::get<std::string>(other.FValue));
    return Order(order, 0);
  }
  if (IsIntegral() && other.IsIntegral()) return Order(AsInteger(), other.AsInteger());
  return Order(AsDouble(), other.AsDouble());
}

Variant operator+(const Variant& a, const Variant& b) {
  if (a.IsText() && b.IsText()) return a.AsString() + b.AsString();
  if (a.IsIntegral() && b.IsIntegral()) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a.AsInteger(), b.AsInteger(), &sum)) RaiseOverflow();
    return sum;
  }
  return Finite(a.AsDouble() + b.AsDouble());
}

Variant operator-(const Variant& a, const Variant& b) {
  if (a.IsIntegral() && b.IsIntegral()) {
    int64_t difference = 0;
    if (__builtin_sub_overflow(a.AsInteger(), b.AsInteger(), &difference)) RaiseOverflow();
    return difference;
  }
  return Finite(a.AsDouble() - b.AsDouble());
}

Variant operator*(const Variant& a, const Variant& b) {
  if (a.IsIntegral() && b.IsIntegral()) {
    int64_t product = 0;
    if (__builtin_mul_overflow(a.AsInteger(), b.AsInteger(), &product)) RaiseOverflow();
    return product;
  }
  return Finite(a.AsDouble() * b.AsDouble());
}

Variant operator/(const Variant& a, const Variant& b) {
  double divisor = b.AsDouble();
  if (divisor == 0.0) throw Exception("Floating point division by zero");
  return Finite(a.AsDouble() / divisor);
}
