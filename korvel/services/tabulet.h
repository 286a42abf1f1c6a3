// SPDX-License-Identifier: MIT
// The Tabulet: a table whose columns are Tabulet functions of extensions and whose rows
// are stretches of a document's data. Each cell is one column's function evaluated on one
// row's stretch, shown in the function's number format and unit.
#pragma once

#include <cstdint>
#include <string>
#include <optional>
#include <variant>
#include <vector>

#include "korvel/services/document_frame.h"
#include "sdk/host/tabulet.h"

namespace korvel::services {

struct TabuletRow {
  ChannelId channel{0, ChannelId::kDefaultKind};
  TickPosition start;
  TickPosition end;
};

using CellValue = std::variant<std::monostate, std::int32_t, double, std::string>;

struct TabuletCell {
  HRESULT status = E_FAIL;
  CellValue value;   // empty unless the status is S_OK
  std::string text;  // the value in the column's number format; empty for an empty cell
};

struct TabuletColumn {
  std::string key;
  std::string name;
  std::string title;
  std::string unit;    // with its SI prefix: "ms", "ms²", "BPM", ""
  std::string format;  // the function's number format
  ComPtr<ITabuletFunction> function;
};

// `value` in `format` ("General", "0.0###", "HH:mm:ss.00"; anything else as "General").
std::string format_cell(const CellValue& value, const std::string& format);
// "m" for -3, "µ" for -6, "k" for 3 ...; "" for 0. Throws std::invalid_argument for an
// exponent that is not a multiple of 3 within ±24.
std::string si_prefix(std::int32_t exponent);

class Tabulet {
 public:
  // A table over the data of `frame`'s document; functions are created for that document.
  explicit Tabulet(DocumentFrame& frame);
  // Lets every function release its data.
  ~Tabulet();
  Tabulet(const Tabulet&) = delete;
  Tabulet& operator=(const Tabulet&) = delete;

  // The keys of the registered Tabulet functions, in list position order.
  static std::vector<std::string> available(const app::Application& application);

  // Adds a column of the function registered under `key`. Throws std::invalid_argument
  // when no Tabulet class has that key, HResultError when its class refuses to create one.
  std::size_t add_column(const std::string& key);
  std::size_t add_row(const TabuletRow& row);
  // The rows read the data of `source`'s document from now on.
  void read_from(DocumentFrame& source) { source_ = ComPtr<IUnknown>::retain(source.data_object()->identity()); }

  const std::vector<TabuletColumn>& columns() const noexcept { return columns_; }
  const std::vector<TabuletRow>& rows() const noexcept { return rows_; }

  // The cell as the host shows it: the function is told what changed since it last ran,
  // then asked for its value. A function that refuses the data source, channel or range
  // leaves the cell empty with that refusal as its status.
  TabuletCell cell(std::size_t row, std::size_t column);
  // Every cell, row by row.
  std::vector<std::vector<TabuletCell>> evaluate();
  // The function calculates the cell for `reason`; its status and value.
  TabuletCell calculate(std::size_t row, std::size_t column, TabuletReason reason);

 private:
  struct Fed {
    IUnknown* source = nullptr;
    std::optional<ChannelId> channel;
    std::optional<std::pair<TickPosition, TickPosition>> range;
  };
  // Tells the function what changed since it last ran; the first refusal.
  HRESULT feed(std::size_t row, std::size_t column);
  TabuletCell cell_of(std::size_t column, HRESULT status, VARIANT& value) const;

  DocumentFrame& frame_;
  ComPtr<IUnknown> source_;
  std::vector<TabuletColumn> columns_;
  std::vector<Fed> fed_;  // per column
  std::vector<TabuletRow> rows_;
};

}  // namespace korvel::services
