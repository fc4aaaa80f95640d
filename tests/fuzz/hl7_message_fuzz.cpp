// The HL7 message reader: whatever it reads, written back and read again gives the same message;
// a message built from the input's pieces, written and read, gives those pieces back; a message
// read through its character set holds only valid UTF-8; the mapping never hands a control
// character to an export; and every ACK the gateway writes is one frame whose MSA-2 is the
// message's MSH-10.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "hl7/charset.h"
#include "hl7/gateway.h"
#include "hl7/message.h"
#include "tests/fuzz/fuzz_input.h"

using namespace wardlink;
using namespace wardlink::fuzz;
using namespace wardlink::hl7;

namespace {

bool SameMessage(const Message& a, const Message& b) {
  const Delimiters& x = a.delimiters;
  const Delimiters& y = b.delimiters;
  if (x.field != y.field || x.component != y.component || x.repetition != y.repetition ||
      x.escape != y.escape || x.subcomponent != y.subcomponent)
    return false;
  if (a.segments.size() != b.segments.size()) return false;
  for (size_t i = 0; i < a.segments.size(); ++i) {
    if (a.segments[i].id != b.segments[i].id || a.segments[i].fields != b.segments[i].fields)
      return false;
  }
  return true;
}

bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    i += length;
  }
  return true;
}

bool HoldsControlByte(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// The gateway on a store of its own in memory-backed space, made anew every 512 messages so that
// it stays small, and an EMR that cannot be reached: what maps is answered AR, never applied.
class FuzzGateway {
 public:
  FuzzGateway() {
    std::filesystem::path folder = std::filesystem::exists("/dev/shm")
                                       ? std::filesystem::path("/dev/shm")
                                       : std::filesystem::temp_directory_path();
    path_ = (folder / ("wardlink-fuzz-hl7-" + std::to_string(getpid()) + ".db")).string();
  }
  ~FuzzGateway() { Remove(); }
  FuzzGateway(const FuzzGateway&) = delete;
  FuzzGateway& operator=(const FuzzGateway&) = delete;

  Reply Handle(std::string_view bytes) {
    if (count_++ % 512 == 0) {
      Remove();
      store_ = std::make_unique<Store>(path_, true);
      gateway_ = std::make_unique<Gateway>(
          Connection{"sqlite:/nonexistent/wardlink-fuzz.db", "", ""}, Mapping::Default(), *store_);
    }
    return gateway_->Handle(bytes, "fuzz");
  }

 private:
  void Remove() {
    gateway_.reset();
    store_.reset();
    for (const char* suffix : {"", "-wal", "-shm", ".lock"})
      std::filesystem::remove(path_ + suffix);
  }
  std::string path_;
  size_t count_ = 0;
  std::unique_ptr<Store> store_;
  std::unique_ptr<Gateway> gateway_;
};

// The ACK read back as it was written (through its character set when the message was read
// whole): one frame, and MSA-2 the field `controlId` (written with the standard delimiters).
void CheckAck(const std::string& ack, bool readWhole, const std::string& controlId) {
  Expect(ack.find('\x0b') == std::string::npos && ack.find('\x1c') == std::string::npos,
         "an ACK holds a block character: it is not one frame");
  Message read;
  try {
    std::string charset;
    read = readWhole ? ReadMessage(ack, charset) : Parse(ack);
  } catch (const ParseError& error) {
    Expect(false, std::string("an ACK cannot be read back: ") + error.what());
  }
  const Segment* msa = read.Find("MSA");
  Expect(msa != nullptr && msa->fields.size() > 2, "an ACK without MSA-2");
  Expect(EncodeField(msa->fields[2], Delimiters{}) == controlId,
         "MSA-2 is not the message's MSH-10: " + controlId);
}

// A message of 1 to 4 segments built from the input: leaves of any bytes, the standard
// delimiters or others the input picks.
Message Built(FuzzInput& input) {
  static constexpr std::string_view kChoices = "|^~\\&#!$%*+/:;<=>?@_";
  Message message;
  std::string picked;
  while (picked.size() < 5) {
    char c = kChoices[input.Byte() % kChoices.size()];
    if (picked.find(c) == std::string::npos) picked.push_back(c);
    if (input.Byte() == 0 && picked.size() < 5) picked = "|^~\\&";
  }
  Delimiters& d = message.delimiters;
  d = {picked[0], picked[1], picked[2], picked[3], picked[4]};
  std::string encoding{d.component, d.repetition, d.escape, d.subcomponent};
  size_t segments = 1 + input.Byte() % 4;
  for (size_t s = 0; s < segments; ++s) {
    Segment segment;
    segment.id = s == 0 ? "MSH" : std::string{static_cast<char>('A' + input.Byte() % 26), 'Z', '1'};
    segment.fields.emplace_back();
    if (s == 0) {
      segment.fields.push_back({{{std::string(1, d.field)}}});
      segment.fields.push_back({{{encoding}}});
    }
    size_t fields = input.Byte() % 5;
    for (size_t f = 0; f < fields; ++f) {
      Field field(1 + input.Byte() % 3);
      for (auto& repetition : field) {
        repetition.resize(1 + input.Byte() % 3);
        for (auto& component : repetition) {
          component.resize(1 + input.Byte() % 2);
          for (auto& leaf : component) leaf = input.Text(12);
        }
      }
      segment.fields.push_back(std::move(field));
    }
    message.segments.push_back(std::move(segment));
  }
  return message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    Message read = Parse(bytes);
    if (read.delimiters.escape != '\0' && read.delimiters.repetition != '\0' &&
        read.delimiters.subcomponent != '\0') {
      std::string written = Encode(read);
      Message again = Parse(written);
      Expect(SameMessage(read, again), "read, written and read again: not the same message");
      Expect(Encode(again) == written, "written twice: not the same text");
    }
  } catch (const ParseError&) {
  }

  static const Mapping kMapping = Mapping::Default();
  static FuzzGateway gateway;
  std::optional<std::string> controlId;  // MSH-10 of the message read whole
  try {
    std::string charset;
    Message converted = ReadMessage(bytes, charset);
    for (const auto& segment : converted.segments)
      for (const auto& field : segment.fields)
        for (const auto& repetition : field)
          for (const auto& component : repetition)
            for (const auto& leaf : component)
              Expect(ValidUtf8(leaf), "a leaf read through " + charset + " is not UTF-8");
    controlId = KeyField(converted, 10);
    try {
      MappedCall call = kMapping.Map(converted);
      for (const auto& argument : call.arguments)
        Expect(!HoldsControlByte(argument),
               "a control character handed to " + call.exportName + ": " + argument);
    } catch (const MappingRefusal&) {
    }
  } catch (const ParseError&) {
  }
  if (!controlId) {
    // Unreadable: the ACK echoes what its first line gives.
    try {
      controlId = KeyField(Parse(bytes.substr(0, bytes.find_first_of("\r\n"))), 10);
    } catch (const ParseError&) {
      controlId = "";
    }
    CheckAck(gateway.Handle(bytes).ack, false, *controlId);
  } else {
    CheckAck(gateway.Handle(bytes).ack, true, *controlId);
  }

  FuzzInput input(data, size);
  Message built = Built(input);
  Message read = Parse(Encode(built));
  Expect(SameMessage(built, read), "a built message written and read: not the same");
  return 0;
}
