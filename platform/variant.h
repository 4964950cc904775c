// A value that holds an integer, a floating-point number, a boolean or a text, with the
// conversions, comparisons and arithmetic of the framework's variants:
// - integers and booleans compare and compute as integers (true counts as -1), and an integer
//   equals the same floating-point number;
// - a text met by a number is read as a number ("150" equals 150); a text that is no number
//   raises EVariantTypeCastError;
// - two texts compare byte by byte, and "+" joins them;
// - "/" always gives a floating-point number; a floating-point number becomes an integer by
//   rounding with halves to even.
#pragma once

#include <concepts>
#include <cstdint>
#include <ostream>
#include <string>
#include <type_traits>
#include <variant>

#include "exception.h"

// A variant could not be converted to the type an operation needed.
class EVariantTypeCastError : public Exception {
 public:
  using Exception::Exception;
};

class Variant {
 public:
  enum class TKind { Integer, Double, Boolean, Text };

  Variant() : FValue(int64_t{0}) {}
  template <std::integral T>
  requires(!std::same_as<T, bool>) Variant(T value) : FValue(static_cast<int64_t>(value)) {}
  // Enumerations are integers, never booleans.
  template <typename T>
  requires std::is_enum_v<T> Variant(T value) : FValue(static_cast<int64_t>(value)) {}
  template <std::floating_point T>
  Variant(T value) : FValue(static_cast<double>(value)) {}
  Variant(bool value) : FValue(value) {}
  Variant(std::string value) : FValue(std::move(value)) {}
  Variant(const char* value) : FValue(std::string(value)) {}

  TKind Kind() const { return static_cast<TKind>(FValue.index()); }
  bool IsText() const { return Kind() == TKind::Text; }

  int64_t AsInteger() const;
  double AsDouble() const;
  bool AsBoolean() const;
  std::string AsString() const;

  // -1, 0 or 1 as this value is below, equal to or above the other one.
  int Compare(const Variant& other) const;

  friend bool operator==(const Variant& a, const Variant& b) { return a.Compare(b) == 0; }
  friend bool operator<(const Variant& a, const Variant& b) { return a.Compare(b) < 0; }
  friend bool operator>(const Variant& a, const Variant& b) { return a.Compare(b) > 0; }
  friend bool operator<=(const Variant& a, const Variant& b) { return a.Compare(b) <= 0; }
  friend bool operator>=(const Variant& a, const Variant& b) { return a.Compare(b) >= 0; }

  friend Variant operator+(const Variant& a, const Variant& b);
  friend Variant operator-(const Variant& a, const Variant& b);
  friend Variant operator*(const Variant& a, const Variant& b);
  friend Variant operator/(const Variant& a, const Variant& b);

  friend std::ostream& operator<<(std::ostream& out, const Variant& v) {
    return out << v.AsString();
  }

 private:
  bool IsIntegral() const { return Kind() == TKind::Integer || Kind() == TKind::Boolean; }

  std::variant<int64_t, double, bool, std::string> FValue;
};
