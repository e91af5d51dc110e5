// The statement model of the animator: single-precision quantities evaluated
// in extended precision, the conversions, point arrays, counted loops,
// conditionals and jumps, each statement followed by its statement-end check.
//
// Statements are written one per line with the macros at the end of this file:
//
//   STMT(103, slot_no = 0);
//   FOR(105, pole, pole_count + 1) { ... }
//   IF_THEN(116, band == 1, colour = 15);
//   IF_BLOCK(260, all({pole == pole_count + 1, band_slot == q})) { ... } else { ... }
//   GOTO_IF(291, cond, line_299);   ...   LABEL(299, line_299);
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "screen/errors.h"
#include "screen/real.h"
#include "screen/runtime.h"

namespace ws {

// A quantity: stored in single precision, read as an extended value.
class Q {
 public:
  Q() = default;
  Q& operator=(Real x) {
    v_ = static_cast<float>(x);
    return *this;
  }
  operator Real() const { return v_; }
  float value() const { return v_; }
  float& storage() { return v_; }

 private:
  float v_ = 0.0f;
};

// The conversions. Errors go through raise_runtime_error.
// Nearest, ties to even, for -32768.5 <= x < 32767.5; else error 6 and 0.
int32_t convert_to_int16(Runtime& rt, double x);
// Nearest 64-bit integer, ties to even; -2^63 for NaN and out of range.
int64_t round_to_int64(Real x);
// The low 32 bits of round_to_int64, as cursor rows, columns and colours use it.
inline int32_t low32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
// index if index < count, else error 9 and 0.
uint32_t check_array_index(Runtime& rt, uint32_t index, uint32_t count);

// Sets the calling thread's x87 unit to a 64-bit significand, round to nearest,
// all exceptions masked.
void set_extended_precision();

// 1001 single-precision reals, indexed 0 to 1000 by a real expression.
class PointArray {
 public:
  static constexpr uint32_t kCount = 1001;

  class Element {
   public:
    Element(Runtime& rt, float& slot) : rt_(rt), slot_(slot) {}
    operator Real() const { return slot_; }
    // A store does nothing while an error is pending.
    Element& operator=(Real x) {
      if (!error_pending(rt_)) slot_ = static_cast<float>(x);
      return *this;
    }

   private:
    Runtime& rt_;
    float& slot_;
  };

  explicit PointArray(Runtime& rt) : rt_(rt) {}
  Element operator()(Real index) {
    const auto k = static_cast<uint32_t>(low32(round_to_int64(index)));
    return Element(rt_, values_[check_array_index(rt_, k, kCount)]);
  }
  float at(uint32_t k) const { return values_[k]; }

 private:
  Runtime& rt_;
  std::array<float, kCount> values_{};
};

// Base of a procedure written in statements.
class Procedure {
 public:
  explicit Procedure(Runtime& runtime) : rt(runtime) {}

 protected:
  Runtime& rt;

  // The statement-end check: one load of event_pending.
  void end(int32_t line) {
    if (rt.state.event_pending.load(std::memory_order_acquire) != 0) [[unlikely]]
      handle_statement_event(rt, line);
  }
  // A comparison's value: -1 when it is true, 0 when it is not.
  static constexpr int32_t truth(bool comparison) { return comparison ? -1 : 0; }
  // A condition of comparisons that must hold together: the bitwise AND of
  // their values. The comparisons are the elements of a braced list, so every
  // one is evaluated, left to right, whatever the earlier ones gave.
  static constexpr int32_t all(std::initializer_list<bool> comparisons) {
    int32_t value = -1;
    for (const bool c : comparisons) value &= truth(c);
    return value;
  }
  // A condition holds when its value is not 0 or an error is pending.
  bool holds(bool condition) const { return condition || error_pending(rt); }
  // Enters the conditional part: the check with the line's number first.
  bool enter(int32_t line, bool condition) {
    if (!holds(condition)) return false;
    end(line);
    return true;
  }

  // Conversions with the argument roundings of the statement model.
  int32_t cint(Real x) { return convert_to_int16(rt, static_cast<double>(x)); }
  static Real fl(Real x);
  static int32_t rnd(Real x) { return low32(round_to_int64(x)); }

  // A counted loop from 1 in steps of 1: limit evaluated once, the variable
  // read back at the end of each pass, the counter compared in double.
  class CountedLoop {
   public:
    CountedLoop(Procedure& p, int32_t line, Q& var, Real limit)
        : p_(p), line_(line), var_(var), limit_(static_cast<double>(limit)) {}
    bool test() {
      var_ = counter_;
      if (counter_ > limit_) return false;
      p_.end(line_);
      return true;
    }
    void next() { counter_ = static_cast<double>(static_cast<Real>(var_) + step_); }

   private:
    Procedure& p_;
    int32_t line_;
    Q& var_;
    double counter_ = 1.0;
    double limit_;
    double step_ = 1.0;
  };
};

}  // namespace ws

#define STMT(line, ...) \
  do {                  \
    __VA_ARGS__;        \
    end(line);          \
  } while (0)
#define IF_THEN(line, cond, ...)    \
  do {                              \
    if (enter((line), (cond))) {    \
      __VA_ARGS__;                  \
      end(line);                    \
    }                               \
  } while (0)
#define IF_BLOCK(line, cond) if (enter((line), (cond)))
#define GOTO_IF(line, cond, label) \
  do {                             \
    if (enter((line), (cond))) goto label; \
  } while (0)
#define LABEL(line, label) \
  label:                   \
  end(line)
#define FOR(line, var, limit) \
  for (CountedLoop loop_##line(*this, (line), (var), (limit)); loop_##line.test(); loop_##line.next())
