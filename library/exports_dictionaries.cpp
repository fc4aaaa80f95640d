// The fifteen dictionary exports and the two lookup lists (each also in a sized form): thin shells
// over the generic operations, each naming its family's table and column.
#include <functional>
#include <string>

#include "db/schema.h"
#include "dictionaries/dictionary_entries.h"
#include "dictionaries/lookup_lists.h"
#include "library/call_frame.h"
#include "shared/sized_buffers.h"
#include "shared/text.h"
#include "wardlink.h"

using namespace wardlink;

static_assert(kTextDidNotFit == WARDLINK_TEXT_DID_NOT_FIT);

namespace {

constexpr DictionaryFamily kZhiYe{schema::kZhiYe, schema::kColZhiYe};
constexpr DictionaryFamily kHunYin{schema::kHunYin, schema::kColHunYin};
constexpr DictionaryFamily kInHospType{schema::kInHospType, schema::kColInHospType};
constexpr DictionaryFamily kYiBaoLeiXing{schema::kYiBaoLeiXing, schema::kColYiBaoLeiXing};
constexpr DictionaryFamily kCertificateType{schema::kCertificateType, schema::kColCertificateType};

int32_t Add(const HostConnectionArgs& args, const DictionaryFamily& family, const char* entryName,
            int32_t id, int32_t theOrder) {
  return RunWritingExport(args, [&](DbConnection&, DbQuery& query) {
    return AddDictionaryEntry(query, family, Text(entryName), id, theOrder);
  });
}

int32_t Update(const HostConnectionArgs& args, const DictionaryFamily& family,
               const char* entryName, int32_t id, int32_t theOrder) {
  return RunWritingExport(args, [&](DbConnection&, DbQuery& query) {
    return UpdateDictionaryEntry(query, family, Text(entryName), id, theOrder);
  });
}

int32_t Delete(const HostConnectionArgs& args, const DictionaryFamily& family, int32_t id) {
  return RunWritingExport(args, [&](DbConnection&, DbQuery& query) {
    return DeleteDictionaryEntry(query, family, id);
  });
}

// Hands the whole list to `deliver`, which writes it and gives the result: the buffer is written
// only once the whole list has been read.
using ListSink = std::function<int32_t(const std::string& list)>;
int32_t ReadList(const HostConnectionArgs& args, std::string_view column, std::string_view table,
                 const ListSink& deliver) {
  return RunExport(args, [&](DbConnection&, DbQuery& query) {
    return deliver(ReadLookupList(query, column, table));
  });
}

ListSink Unsized(char** listBuffer) {
  return [listBuffer](const std::string& list) {
    if (listBuffer != nullptr) CopyToBuffer(list, *listBuffer);
    return 0;
  };
}

ListSink Sized(char** listBuffer, int32_t listSize, int32_t* listLength) {
  return [=](const std::string& list) {
    const SizedBuffer buffer{listBuffer != nullptr ? *listBuffer : nullptr, listSize};
    return CopyToSizedBuffers({&list, 1}, {&buffer, 1}, listLength);
  };
}

}  // namespace

extern "C" {

int32_t AddZhiYe(const char* server, const char* login, const char* password, const char* entryName,
                 int32_t id, int32_t theOrder) {
  return Add({server, login, password}, kZhiYe, entryName, id, theOrder);
}
int32_t UpdateZhiYe(const char* server, const char* login, const char* password,
                    const char* entryName, int32_t id, int32_t theOrder) {
  return Update({server, login, password}, kZhiYe, entryName, id, theOrder);
}
int32_t DeleteZhiYe(const char* server, const char* login, const char* password, int32_t id) {
  return Delete({server, login, password}, kZhiYe, id);
}

int32_t AddHunYin(const char* server, const char* login, const char* password,
                  const char* entryName, int32_t id, int32_t theOrder) {
  return Add({server, login, password}, kHunYin, entryName, id, theOrder);
}
int32_t UpdateHunYin(const char* server, const char* login, const char* password,
                     const char* entryName, int32_t id, int32_t theOrder) {
  return Update({server, login, password}, kHunYin, entryName, id, theOrder);
}
int32_t DeleteHunYin(const char* server, const char* login, const char* password, int32_t id) {
  return Delete({server, login, password}, kHunYin, id);
}

int32_t AddInHospType(const char* server, const char* login, const char* password,
                      const char* entryName, int32_t id, int32_t theOrder) {
  return Add({server, login, password}, kInHospType, entryName, id, theOrder);
}
int32_t UpdateInHospType(const char* server, const char* login, const char* password,
                         const char* entryName, int32_t id, int32_t theOrder) {
  return Update({server, login, password}, kInHospType, entryName, id, theOrder);
}
int32_t DeleteInHospType(const char* server, const char* login, const char* password, int32_t id) {
  return Delete({server, login, password}, kInHospType, id);
}

int32_t AddYiBaoLeiXing(const char* server, const char* login, const char* password,
                        const char* entryName, int32_t id, int32_t theOrder) {
  return Add({server, login, password}, kYiBaoLeiXing, entryName, id, theOrder);
}
int32_t UpdateYiBaoLeiXing(const char* server, const char* login, const char* password,
                           const char* entryName, int32_t id, int32_t theOrder) {
  return Update({server, login, password}, kYiBaoLeiXing, entryName, id, theOrder);
}
int32_t DeleteYiBaoLeiXing(const char* server, const char* login, const char* password,
                           int32_t id) {
  return Delete({server, login, password}, kYiBaoLeiXing, id);
}

int32_t AddCertificateType(const char* server, const char* login, const char* password,
                           const char* entryName, int32_t id, int32_t theOrder) {
  return Add({server, login, password}, kCertificateType, entryName, id, theOrder);
}
int32_t UpdateCertificateType(const char* server, const char* login, const char* password,
                              const char* entryName, int32_t id, int32_t theOrder) {
  return Update({server, login, password}, kCertificateType, entryName, id, theOrder);
}
int32_t DeleteCertificateType(const char* server, const char* login, const char* password,
                              int32_t id) {
  return Delete({server, login, password}, kCertificateType, id);
}

int32_t GetZhiCheng(const char* server, const char* login, const char* password,
                    char** listBuffer) {
  return ReadList({server, login, password}, schema::kColZhiCheng, schema::kYiShengZhiCheng,
                  Unsized(listBuffer));
}

int32_t GetBingQingMiaoShu(const char* server, const char* login, const char* password,
                           char** listBuffer) {
  return ReadList({server, login, password}, schema::kColBingQingMiaoShu, schema::kBingQingMiaoShu,
                  Unsized(listBuffer));
}

int32_t GetZhiChengSized(const char* server, const char* login, const char* password,
                         char** listBuffer, int32_t listSize, int32_t* listLength) {
  return ReadList({server, login, password}, schema::kColZhiCheng, schema::kYiShengZhiCheng,
                  Sized(listBuffer, listSize, listLength));
}

int32_t GetBingQingMiaoShuSized(const char* server, const char* login, const char* password,
                                char** listBuffer, int32_t listSize, int32_t* listLength) {
  return ReadList({server, login, password}, schema::kColBingQingMiaoShu, schema::kBingQingMiaoShu,
                  Sized(listBuffer, listSize, listLength));
}

}  // extern "C"
