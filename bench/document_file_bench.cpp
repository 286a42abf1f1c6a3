// SPDX-License-Identifier: MIT
// Writing and checking document files: a document with 50 computed channels and two
// persisted items of `size` bytes each, encoded and decoded (every section checksummed
// and every string checked as UTF-8). Bytes are the encoded file's.
#include <benchmark/benchmark.h>

#include "korvel/docfile/document_contents.h"

namespace {

korvel::docfile::DocumentContents contents(std::size_t size) {
  korvel::docfile::DocumentContents c;
  c.recordings.push_back({"/data/records/100.hea", {}});
  for (int i = 0; i < 50; ++i)
    c.channels.push_back({std::string("C").append(std::to_string(i)),
                          std::string("lowpass(Ch1,").append(std::to_string(i + 1)).append(")"), i % 2 == 0});
  for (std::int32_t index = 0; index < 2; ++index) {
    korvel::services::SavedItem item;
    item.index = index;
    item.bytes.resize(size);
    for (std::size_t i = 0; i < size; ++i) item.bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    c.items.push_back(std::move(item));
  }
  return c;
}

void BM_EncodeDocument(benchmark::State& state) {
  const auto c = contents(static_cast<std::size_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto encoded = korvel::docfile::encode_document(c);
    bytes = encoded.size();
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_EncodeDocument)->Arg(1 << 10)->Arg(1 << 20);

void BM_DecodeDocument(benchmark::State& state) {
  const auto encoded = korvel::docfile::encode_document(contents(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) {
    auto decoded = korvel::docfile::decode_document(encoded);
    benchmark::DoNotOptimize(decoded.items.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(encoded.size()));
}
BENCHMARK(BM_DecodeDocument)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace
