// SPDX-License-Identifier: MIT
// The probe document's persisted items, its string table and its macro command: small
// objects behind host interfaces.
#pragma once

#include <cstdint>
#include <string>

#include "sdk/cpp/com_object.h"
#include "sdk/host/application.h"
#include "sdk/host/menus.h"
#include "sdk/stream.h"

namespace probe {

// A persisted item: a four-byte tag, then the payload. Load refuses another tag, a short
// stream and a payload it cannot read (E_FAIL), and keeps its state then.
class Item : public ComObject<IPersistStreamInit> {
 public:
  explicit Item(const GUID& class_id) : class_id_(class_id) {}

  bool loaded() const noexcept { return loaded_; }

  HRESULT GetClassID(GUID* classId) override;
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(IByteStream* stream) override;
  HRESULT Save(IByteStream* stream, VARIANT_BOOL clearDirty) override;
  HRESULT GetSizeMax(std::uint64_t* size) override;
  HRESULT InitNew() override;

 protected:
  void touch() noexcept { dirty_ = true; }

 private:
  virtual std::string encode() const = 0;
  // False when `payload` is not acceptable.
  virtual bool decode(const std::string& payload) = 0;
  virtual void reset() = 0;

  GUID class_id_;
  bool dirty_ = false;
  bool loaded_ = false;
};

class Note final : public Item {
 public:
  Note();
  const std::string& text() const noexcept { return text_; }
  void set(std::string text) {
    text_ = std::move(text);
    touch();
  }

 private:
  std::string encode() const override { return text_; }
  bool decode(const std::string& payload) override;
  void reset() override { text_.clear(); }

  std::string text_;
};

class Counter final : public Item {
 public:
  Counter();
  std::int32_t value() const noexcept { return value_; }
  void increment() {
    ++value_;
    touch();
  }

 private:
  std::string encode() const override;
  bool decode(const std::string& payload) override;
  void reset() override { value_ = 0; }

  std::int32_t value_ = 0;
};

// The settings of the "Probe Scaled" calculation: a factor (at least 1) and whether the
// channel shows guide lines at plus and minus the factor. Defaults 2 and yes.
class ScaledSettings final : public Item {
 public:
  ScaledSettings();
  std::int32_t factor() const noexcept { return factor_; }
  bool guide_lines() const noexcept { return guides_; }
  void set(std::int32_t factor, bool guide_lines) {
    factor_ = factor;
    guides_ = guide_lines;
    touch();
  }

 private:
  std::string encode() const override;
  bool decode(const std::string& payload) override;
  void reset() override {
    factor_ = 2;
    guides_ = true;
  }

  std::int32_t factor_ = 2;
  bool guides_ = true;
};

ComPtr<IExtensionStrings> make_strings();
ComPtr<IMessageClass> make_count_message_class();

}  // namespace probe
