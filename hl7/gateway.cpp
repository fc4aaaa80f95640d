#include "hl7/gateway.h"

#include <openssl/evp.h>

#include <atomic>
#include <chrono>
#include <optional>

#include "hl7/charset.h"
#include "library/export_table.h"

namespace wardlink::hl7 {

namespace {

const Delimiters kAckDelimiters;

struct ErrorDetail {
  int code = 0;          // table 0357
  std::string location;  // SEG-F(.C)
  std::string message;   // ERR-8
};

std::string CodeText(int code) {
  switch (code) {
    case 100:
      return "Segment sequence error";
    case 101:
      return "Required field missing";
    case 102:
      return "Data type error";
    case 103:
      return "Table value not found";
    case 205:
      return "Duplicate key identifier";
    default:
      return "Application internal error";
  }
}

// "PV1-19.1" as an ERR-2 location: PV1^1^19^1^1.
std::string Location(const std::string& path) {
  size_t dash = path.find('-');
  if (path.size() < 3) return {};
  std::string segment = path.substr(0, 3);
  if (dash != 3) return segment + "^1";
  std::string rest = path.substr(4);
  std::string field = rest.substr(0, rest.find_first_of(".["));
  std::string out = segment + "^1^" + field;
  size_t dot = rest.find('.');
  if (dot != std::string::npos)
    out += "^1^" + rest.substr(dot + 1, rest.find('.', dot + 1) - dot - 1);
  return out;
}

// A field of the incoming MSH re-encoded with the ACK's delimiters.
std::string MshField(const Message* in, size_t field) {
  return in != nullptr ? KeyField(*in, field) : std::string();
}

std::string BuildAck(const Message* in, const std::string& charset, const std::string& code,
                     const std::string& text, const std::optional<ErrorDetail>& error) {
  const Delimiters& d = kAckDelimiters;
  std::string trigger =
      in != nullptr && !in->segments.empty() ? Leaf(in->segments[0], 9, 0, 2) : "";
  std::string version = MshField(in, 12);
  std::string processing = MshField(in, 11);
  std::string msh = "MSH|^~\\&|" + MshField(in, 5) + "|" + MshField(in, 6) + "|" + MshField(in, 3) +
                    "|" + MshField(in, 4) + "|" + Hl7Time() + "||ACK^" + Escape(trigger, d) +
                    "^ACK|" + NewControlId() + "|" + (processing.empty() ? "P" : processing) + "|" +
                    (version.empty() ? "2.5" : version);
  std::string charsetField = MshField(in, 18);
  if (!charsetField.empty() && in != nullptr && IconvName(Leaf(in->segments[0], 18))) {
    msh += "||||||" + charsetField;  // MSH-13 to MSH-17 empty
  }
  std::string ack = msh + "\rMSA|" + code + "|" + MshField(in, 10) + "|" + Escape(text, d) + "\r";
  if (error) {
    ack += "ERR||" + Location(error->location) + "|" + std::to_string(error->code) + "^" +
           CodeText(error->code) + "^HL70357|E||||" + Escape(error->message, d) + "\r";
  }
  bool known = in != nullptr && IconvName(Leaf(in->segments[0], 18)).has_value();
  return known ? FromUtf8(ack, charset) : ack;
}

bool Busy(const std::string& reason) {
  for (const char* sign :
       {"database is locked", "busy", "deadlock", "timeout expired", "Timeout"}) {
    if (reason.find(sign) != std::string::npos) return true;
  }
  return false;
}

std::string Recode(const std::string& text, const std::string& from) {
  return from == "UTF-8" ? text : ToUtf8Lenient(text, from);
}

// What makes a message the same one when it is sent again: SHA-256 of its segments, MSH-7 (the
// time of sending) aside, as hex. It stays when the raw text is cut short or pruned.
std::string Digest(const Message& message) {
  std::string text;
  for (const Segment& segment : message.segments) {
    text += segment.id;
    for (size_t f = 1; f < segment.fields.size(); ++f) {
      text += '|';
      if (&segment != &message.segments[0] || f != 7)
        text += EncodeField(segment.fields[f], kAckDelimiters);
    }
    text += '\r';
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(text.data(), text.size(), hash, &size, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 failed");
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[hash[i] >> 4];
    hex += kHex[hash[i] & 15];
  }
  return hex;
}

// Whether `held`, the row kept under a key, is the message `in` again; rows of stores older than
// digests are compared by their raw text.
bool SameMessage(const StoredMessage& held, const Message& in, const std::string& digest) {
  if (!held.digest.empty()) return held.digest == digest;
  try {
    std::string charset;
    return Digest(ReadMessage(held.raw, charset)) == digest;
  } catch (const ParseError&) {
    return false;
  }
}

// What can be read of an MSH segment at the start of `bytes`, for an ACK's addresses and MSA-2.
std::optional<Message> Header(std::string_view bytes) {
  try {
    return Parse(bytes.substr(0, bytes.find_first_of("\r\n")));
  } catch (const ParseError&) {
    return std::nullopt;
  }
}

// MSH-3 or MSH-4 as a senders file matches it: the whole field as sent, and its first component.
SpokenFor Spoken(const Message& message, size_t field) {
  const Segment& msh = message.segments[0];
  if (field >= msh.fields.size()) return {};
  return {EncodeField(msh.fields[field], message.delimiters), Leaf(msh, field)};
}

}  // namespace

std::string RejectionAck(std::string_view head, int code, const std::string& text) {
  auto header = Header(head);
  return BuildAck(header ? &*header : nullptr, "UTF-8", "AR", text, ErrorDetail{code, "", text});
}

std::string NewControlId() {
  static std::atomic<unsigned> counter{0};
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%06u", counter.fetch_add(1) % 1000000);
  return "WL" + Hl7Time() + suffix;
}

Gateway::Gateway(Connection connection, Mapping mapping, Store& store, Metrics* metrics)
    : connection_(std::move(connection)),
      mapping_(std::move(mapping)),
      store_(store),
      hostCodeset_(HostCodeset()),
      metrics_(metrics != nullptr ? *metrics : off_) {}

Reply Gateway::Handle(std::string_view bytes, const std::string& peer,
                      const std::vector<const Sender*>* senders) {
  StoredMessage record;
  record.receivedAt = StoreTime();
  record.peer = peer;
  record.raw = std::string(bytes);
  Reply reply;
  auto finishLine = [&](const std::string& controlId, const std::string& event,
                        const std::string& exportName, const std::string& result) {
    reply.logLine = record.receivedAt + " " + peer + " " + (controlId.empty() ? "-" : controlId) +
                    " " + (event.empty() ? "-" : event) + " " +
                    (exportName.empty() ? "-" : exportName) + " " + result + " " + reply.ackCode;
    metrics_.Answered(event, reply.ackCode);
  };

  // Checked before anything is recorded: a message written into a store that is no longer the
  // gateway's would be forgotten, and applied again after the restart.
  if (auto lost = store_.Lost()) {
    const char* text = "message store unavailable: send again later";
    auto header = Header(bytes);
    reply.ackCode = "AR";
    reply.ack =
        BuildAck(header ? &*header : nullptr, "UTF-8", "AR", text, ErrorDetail{207, "", text});
    reply.storeLost = true;
    finishLine(header ? Leaf(header->segments[0], 10) : "", "", "", "store-lost");
    reply.logLine += ": " + *lost;
    return reply;
  }

  std::string charset = "UTF-8";
  std::optional<Message> message;
  try {
    message = ReadMessage(bytes, charset);
  } catch (const ParseError& error) {
    auto header = Header(bytes);
    const Message* in = header ? &*header : nullptr;
    reply.ackCode = "AR";
    reply.ack = BuildAck(in, "UTF-8", "AR", error.what(),
                         ErrorDetail{error.code(), error.location(), error.what()});
    record.sendingApplication = in ? Leaf(in->segments[0], 3) : "";
    record.sendingFacility = in ? Leaf(in->segments[0], 4) : "";
    record.event = in ? Leaf(in->segments[0], 9, 0, 2) : "";
    record.reason = error.what();
    record.ackCode = "AR";
    record.ack = reply.ack;
    store_.RecordUnkeyed(record);
    finishLine(in ? Leaf(in->segments[0], 10) : "", record.event, "", "unreadable");
    return reply;
  }

  const Segment& msh = message->segments[0];
  record.sendingApplication = KeyField(*message, 3);
  record.sendingFacility = KeyField(*message, 4);
  record.controlId = KeyField(*message, 10);
  record.event = Leaf(msh, 9, 0, 2);
  auto answer = [&](const std::string& code, const std::string& text,
                    const std::optional<ErrorDetail>& error) {
    reply.ackCode = code;
    reply.ack = BuildAck(&*message, charset, code, text, error);
  };

  if (senders != nullptr && !MaySpeakFor(*senders, Spoken(*message, 3), Spoken(*message, 4))) {
    const char* text = "sender not allowed";
    answer("AR", text, ErrorDetail{207, "MSH-3", text});
    record.reason = text;
    record.ackCode = "AR";
    record.ack = reply.ack;
    store_.RecordUnkeyed(record);  // no key taken: the true sender's message stays welcome
    finishLine(record.controlId, record.event, "", "sender-not-allowed");
    return reply;
  }

  if (record.controlId.empty()) {
    answer("AR", "MSH-10 (message control ID) is empty",
           ErrorDetail{101, "MSH-10", "MSH-10 (message control ID) is empty"});
    record.reason = "MSH-10 is empty";
    record.ackCode = "AR";
    record.ack = reply.ack;
    store_.RecordUnkeyed(record);
    finishLine("", record.event, "", "unkeyed");
    return reply;
  }

  record.digest = Digest(*message);
  Store::Claim claim = store_.Begin(record);
  if (!claim.isNew && !SameMessage(claim.existing, *message, record.digest)) {
    // A conflict: never applied, and the message held keeps its outcome and its ACK.
    const std::string text = "another message is held under this MSH-3, MSH-4 and MSH-10 (#" +
                             std::to_string(claim.id) + ")";
    answer("AR", text, ErrorDetail{205, "MSH-10", text});
    record.reason = text;
    record.ackCode = "AR";
    record.ack = reply.ack;
    store_.RecordConflict(record);
    metrics_.Conflict();
    finishLine(record.controlId, record.event, "", "conflict");
    return reply;
  }
  if (!claim.isNew) {
    const StoredMessage& seen = claim.existing;
    store_.CountDelivery(claim.id);
    if (seen.state == kAnswered) {
      // A duplicate: the same ACK again (AA when a person settled it as applied); nothing is
      // applied twice.
      if (seen.ack.empty()) {
        answer(seen.ackCode, "", std::nullopt);
      } else {
        reply.ackCode = seen.ackCode;
        reply.ack = seen.ack;
      }
      metrics_.Duplicate();
      finishLine(record.controlId, seen.event, seen.exportName, "duplicate");
    } else if (seen.state == kUncertain) {
      const char* text = "outcome uncertain after a restart: check the stay";
      answer("AE", text, ErrorDetail{207, "MSH-10", text});
      finishLine(record.controlId, seen.event, seen.exportName, "uncertain");
    } else {
      const char* text = "the same message is being applied now: send it again later";
      answer("AR", text, ErrorDetail{207, "MSH-10", text});
      finishLine(record.controlId, seen.event, seen.exportName, "in-progress");
    }
    return reply;
  }

  std::string state = kAnswered;
  std::string exportName;
  std::optional<int32_t> result;
  std::string reason;
  std::string visit;
  std::string unavailable;  // why the database could not be reached: for the log, not the peer
  try {
    MappedCall call = mapping_.Map(*message);
    exportName = call.exportName;
    visit = call.visit;
    if (call.trigger != record.event) record.event = call.trigger;
    if (exportName.empty()) {
      reason = "ignored: not used by the EMR";
      answer("AA", reason, std::nullopt);
    } else {
      std::vector<std::string> values;
      for (const auto& value : call.arguments) values.push_back(FromUtf8(value, hostCodeset_));
      const host::ExportSpec& spec = *host::FindExport(exportName);
      auto called = std::chrono::steady_clock::now();
      host::CallOutcome outcome = spec.Call(
          {connection_.server, connection_.login, connection_.password, std::move(values)});
      metrics_.ExportSeconds(exportName, SecondsSince(called));
      metrics_.EmrReachable(outcome.result != 1);
      result = outcome.result;
      std::string why = Recode(outcome.message, hostCodeset_);
      reason = exportName + " gave " + std::to_string(outcome.result) + ": " +
               spec.Meaning(outcome.result) + (why.empty() ? "" : ": " + why);
      if (outcome.result == 0) {
        answer("AA", "", std::nullopt);
      } else if (outcome.result == 1 || (outcome.result == -1 && Busy(why))) {
        // Not applied: the sender keeps the message and sends it again.
        // The peer learns only that: paths and driver words stay in the gateway's log.
        state = kRetry;
        unavailable = reason;
        std::string told = outcome.result == 1 ? "EMR database unavailable" : "EMR database busy";
        answer("AR", told, ErrorDetail{207, "", told});
      } else {
        answer("AE", reason, ErrorDetail{207, "", reason});
      }
    }
  } catch (const MappingRefusal& refusal) {
    state = kRetry;  // nothing applied: a corrected resend under the same control ID is read anew
    reason = refusal.what();
    answer("AR", reason, ErrorDetail{refusal.code(), refusal.location(), reason});
  } catch (const host::UsageError& error) {
    state = kRetry;
    reason = error.what();
    answer("AR", reason, ErrorDetail{102, "", reason});
  } catch (const std::exception& error) {
    state = kRetry;
    reason = std::string("gateway error: ") + error.what();
    answer("AR", reason, ErrorDetail{207, "", reason});
  }
  store_.Finish(claim.id, state, record.event, visit, exportName, result, reason, reply.ackCode,
                reply.ack);
  finishLine(record.controlId, record.event, exportName,
             result                                        ? std::to_string(*result)
             : exportName.empty() && reply.ackCode == "AA" ? "ignored"
                                                           : "refused");
  if (!unavailable.empty()) reply.logLine += ": " + unavailable;
  if (store_.Lost()) reply.storeLost = true;
  return reply;
}

}  // namespace wardlink::hl7
