// The fifteen dictionary exports and the two lookup lists: thin shells over the generic
// operations, each naming its family's table and column.
#include "db/schema.h"
#include "dictionaries/dictionary_entries.h"
#include "dictionaries/lookup_lists.h"
#include "library/call_frame.h"
#include "shared/text.h"
#include "wardlink.h"

using namespace wardlink;

namespace {

constexpr DictionaryFamily kZhiYe{schema::kZhiYe, schema::kColZhiYe};
constexpr DictionaryFamily kHunYin{schema::kHunYin, schema::kColHunYin};
constexpr DictionaryFamily kInHospType{schema::kInHospType, schema::kColInHospType};
constexpr DictionaryFamily kYiBaoLeiXing{schema::kYiBaoLeiXing, schema::kColYiBaoLeiXing};
constexpr DictionaryFamily kCertificateType{schema::kCertificateType, schema::kColCertificateType};

int32_t Add(const HostConnectionArgs& args, const DictionaryFamily& family, const char* entryName,
            int32_t id, int32_t theOrder) {
  return RunExport(args, [&](DbConnection&, DbQuery& query) {
    return AddDictionaryEntry(query, family, Text(entryName), id, theOrder);
  });
}

int32_t Update(const HostConnectionArgs& args, const DictionaryFamily& family,
               const char* entryName, int32_t id, int32_t theOrder) {
  return RunExport(args, [&](DbConnection&, DbQuery& query) {
    return UpdateDictionaryEntry(query, family, Text(entryName), id, theOrder);
  });
}

int32_t Delete(const HostConnectionArgs& args, const DictionaryFamily& family, int32_t id) {
  return RunExport(args, [&](DbConnection&, DbQuery& query) {
    return DeleteDictionaryEntry(query, family, id);
  });
}

// The buffer is written only once the whole list has been read.
int32_t ReadList(const HostConnectionArgs& args, std::string_view column, std::string_view table,
                 char** listBuffer) {
  return RunExport(args, [&](DbConnection&, DbQuery& query) {
    std::string list = ReadLookupList(query, column, table);
    if (listBuffer != nullptr) CopyToBuffer(list, *listBuffer);
    return 0;
  });
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
                  listBuffer);
}

int32_t GetBingQingMiaoShu(const char* server, const char* login, const char* password,
                           char** listBuffer) {
  return ReadList({server, login, password}, schema::kColBingQingMiaoShu, schema::kBingQingMiaoShu,
                  listBuffer);
}

}  // extern "C"
