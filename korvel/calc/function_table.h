// SPDX-License-Identifier: MIT
// The functions an expression can call: the host's own signal functions and the
// calculation enumerators that extensions registered. Names compare case-insensitively;
// the host's functions and every extension's function names are kept distinct by the
// registry.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/expr/resolve.h"
#include "korvel/signal/functions.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/calc_enumerator.h"

namespace korvel::calc {

// A host signal function: one sampled parameter, then its numbers.
struct SignalEntry : expr::FunctionSignature {
  const signal::SignalFunction* function = nullptr;
};

// An extension's enumerator class, with the signature its description gives.
struct EnumeratorEntry : expr::FunctionSignature {
  ComPtr<ICalcEnumeratorClass> enumerator_class;
  std::uint32_t event_size = 0;
};

// Reads an enumerator class's description into a signature. Throws std::invalid_argument
// saying what is wrong with a description the host cannot use: missing names, kinds or
// ranges, a range table that does not end with (-1, -1) after the parameters, an input
// whose range is not (0, 0), no input at all, an event size below 8 bytes.
std::unique_ptr<EnumeratorEntry> describe_enumerator(ComPtr<ICalcEnumeratorClass> enumerator_class);

// Where the table finds enumerator classes; the application's extension registry.
class EnumeratorClasses {
 public:
  virtual ~EnumeratorClasses() = default;
  // The class whose function is called `function` (any case), or null.
  virtual ComPtr<ICalcEnumeratorClass> find_enumerator_class(std::string_view function) const = 0;
};

class FunctionTable {
 public:
  // `extensions` may be null (no extension functions); it must outlive the table.
  explicit FunctionTable(const EnumeratorClasses* extensions);

  // Host functions first, then extension functions; null when neither has the name.
  const expr::FunctionSignature* find(std::string_view name) const;

 private:
  const EnumeratorClasses* extensions_;
  std::vector<SignalEntry> signals_;
  // Signatures of the enumerator classes looked up so far, by lower-case function name.
  mutable std::map<std::string, std::unique_ptr<EnumeratorEntry>> enumerators_;
};

}  // namespace korvel::calc
