/* WardLink: keeps the EMR database in step with the hospital administration's records.
 *
 * Every export opens its own connection from the first three arguments (server, login,
 * password), does one job, frees everything and returns a result code:
 *    0  done
 *    1  the connection could not be opened (nothing read or written, buffers untouched)
 *   2-5 the export's own refusals and failures, listed per family below
 *   -1  an unexpected database error
 * After 1 and -1, WardLinkLastError() says why (never showing the password).
 *
 * server: "sqlite:PATH" (embedded trial database), "odbc:CONNECTION-STRING" (any ODBC data
 * source) or a SQL Server name (catalog KLINODB). Texts are zero-terminated 8-bit strings in the
 * code page of the environment's locale; a null pointer reads as the empty text. Buffers are the
 * caller's and carry no size: the caller provides room for the longest text plus one zero byte.
 * The exports that fill buffers also come in a sized form (at the end of this header), which is
 * told each buffer's size and never writes past it.
 */
#ifndef WARDLINK_H
#define WARDLINK_H

#include <stdint.h>

#if defined(_WIN32)
#define WARDLINK_API __declspec(dllexport)
#else
#define WARDLINK_API __attribute__((visibility("default")))
#endif

/* The version of this header. WardLinkVersion() gives the loaded library's, so that a host can
 * tell when the two differ. Same major version: same exports, same result codes. */
#define WARDLINK_VERSION_MAJOR 0
#define WARDLINK_VERSION_MINOR 2
#define WARDLINK_VERSION_PATCH 0
#define WARDLINK_VERSION_STRING "0.2.0"

#ifdef __cplusplus
extern "C" {
#endif

/* The loaded library's version as "MAJOR.MINOR.PATCH": a static text, never to be freed. */
WARDLINK_API const char* WardLinkVersion(void);

/* Copies the message of this thread's last call (at most size - 1 bytes, zero-terminated;
 * nothing when size <= 0) and returns the message's full length. After 1 it says why the
 * connection could not be opened (missing file, not a database, driver or DSN not found, login
 * refused, server unreachable, a login or password value the connection string cannot carry);
 * after -1 it is the database's message. The password never appears in it. Every other result
 * leaves it empty. */
WARDLINK_API int32_t WardLinkLastError(char* buffer, int32_t size);

/* Dictionaries: occupation, marital status, in-hospital type, medical insurance type, identity
 * document type. Add: 2 = ID already present. Update, Delete: 2 = ID not found. */
WARDLINK_API int32_t AddZhiYe(const char* server, const char* login, const char* password,
                              const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t UpdateZhiYe(const char* server, const char* login, const char* password,
                                 const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t DeleteZhiYe(const char* server, const char* login, const char* password,
                                 int32_t id);
WARDLINK_API int32_t AddHunYin(const char* server, const char* login, const char* password,
                               const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t UpdateHunYin(const char* server, const char* login, const char* password,
                                  const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t DeleteHunYin(const char* server, const char* login, const char* password,
                                  int32_t id);
WARDLINK_API int32_t AddInHospType(const char* server, const char* login, const char* password,
                                   const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t UpdateInHospType(const char* server, const char* login, const char* password,
                                      const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t DeleteInHospType(const char* server, const char* login, const char* password,
                                      int32_t id);
WARDLINK_API int32_t AddYiBaoLeiXing(const char* server, const char* login, const char* password,
                                     const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t UpdateYiBaoLeiXing(const char* server, const char* login, const char* password,
                                        const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t DeleteYiBaoLeiXing(const char* server, const char* login, const char* password,
                                        int32_t id);
WARDLINK_API int32_t AddCertificateType(const char* server, const char* login, const char* password,
                                        const char* entryName, int32_t id, int32_t theOrder);
WARDLINK_API int32_t UpdateCertificateType(const char* server, const char* login,
                                           const char* password, const char* entryName, int32_t id,
                                           int32_t theOrder);
WARDLINK_API int32_t DeleteCertificateType(const char* server, const char* login,
                                           const char* password, int32_t id);

/* Lookup lists: professional titles and condition descriptions, each value trimmed, joined by
 * ";", written into the buffer that *listBuffer points to. Codes: 0, 1. */
WARDLINK_API int32_t GetZhiCheng(const char* server, const char* login, const char* password,
                                 char** listBuffer);
WARDLINK_API int32_t GetBingQingMiaoShu(const char* server, const char* login, const char* password,
                                        char** listBuffer);

/* Departments. Add: 2 = ID present. Update: 2 = ID not found. Delete: 2 = ID not found,
 * 3 = still referred to by a user, a patient record or a ward. */
WARDLINK_API int32_t AddUnit(const char* server, const char* login, const char* password,
                             int32_t id, int32_t unitTypeId, const char* unitName,
                             const char* memo);
WARDLINK_API int32_t UpdateUnit(const char* server, const char* login, const char* password,
                                int32_t id, int32_t unitTypeId, const char* unitName,
                                const char* memo);
WARDLINK_API int32_t DeleteUnit(const char* server, const char* login, const char* password,
                                int32_t id);

/* Users. Add/Update: 2 = department not found, 3 = user exists (Add) or not found (Update),
 * 4 = title not in the title list, 5 = tempType neither 0 nor 1. spare is never read.
 * Delete: 2 = user not found. */
WARDLINK_API int32_t AddUser(const char* server, const char* login, const char* password,
                             const char* userId, const char* pwd, const char* userName,
                             int32_t spare, const char* zhiCheng, int32_t unitId, int32_t tempType);
WARDLINK_API int32_t UpdateUser(const char* server, const char* login, const char* password,
                                const char* userId, const char* pwd, const char* userName,
                                int32_t spare, const char* zhiCheng, int32_t unitId,
                                int32_t tempType);
WARDLINK_API int32_t DeleteUser(const char* server, const char* login, const char* password,
                                const char* userId);

/* Wards and beds. AddIllArea: 2 = no department, 3 = ward exists. UpdateIllArea: 2 = no
 * department, 3 = no ward. DeleteIllArea: 2 = no ward. AddIllBed: 2 = no department, 3 = no such
 * ward in the department, 4 = bed exists. UpdateIllBed, DeleteIllBed: 2 = no bed. */
WARDLINK_API int32_t AddIllArea(const char* server, const char* login, const char* password,
                                int32_t unitId, int32_t id, const char* iaName);
WARDLINK_API int32_t UpdateIllArea(const char* server, const char* login, const char* password,
                                   int32_t unitId, int32_t id, const char* iaName);
WARDLINK_API int32_t DeleteIllArea(const char* server, const char* login, const char* password,
                                   int32_t id);
WARDLINK_API int32_t AddIllBed(const char* server, const char* login, const char* password,
                               int32_t unitId, int32_t illAreaId, int32_t id, const char* ibName);
WARDLINK_API int32_t UpdateIllBed(const char* server, const char* login, const char* password,
                                  int32_t id, const char* ibName);
WARDLINK_API int32_t DeleteIllBed(const char* server, const char* login, const char* password,
                                  int32_t id);

/* The stay record, as 44 texts (AddVictim, UpdateVictim). AddVictim: 4 = number already admitted,
 * 2 = no default date format, 3 = the admission failed and was rolled back. UpdateVictim:
 * 2 = number unknown, 3 = stay archived, 4 = no default date format, 5 = rolled back
 * (bingQingMiaoShu is not read). */
#define WARDLINK_VICTIM_INFO_PARAMS                                                              \
  const char *zhuYuanNo, const char *peopleName, const char *unitId, const char *unitName,       \
      const char *mainMgrDoctorUid, const char *mainMgrDoctorName, const char *zhuZhiYiShengUid, \
      const char *zhuZhiYiShengName, const char *ruYuanZhenDuan, const char *helperUidList,      \
      const char *helperNameList, const char *danwei, const char *zhiYe, const char *sex,        \
      const char *nianLingSui, const char *nianLingYue, const char *nianLingTian,                \
      const char *minZu, const char *address, const char *hunYin, const char *jiGuan,            \
      const char *postCode, const char *yiBaoLeiXing, const char *bingAnHao,                     \
      const char *menZhenNo, const char *ruYuanCount, const char *bingQu, const char *chuangHao, \
      const char *ruYuanDate, const char *bingShiCaiJiDate, const char *bingShiSayer,            \
      const char *keKaoChengDu, const char *zhuYuanLeiBie, const char *ruYuanShiBingQing,        \
      const char *faBingJieQi, const char *certificateType, const char *certificateCode,         \
      const char *lianXiRenXingMing, const char *guanXi, const char *lianXiRenDianHua,           \
      const char *lianXiRenZhuZhi, const char *lianXiRenYouBian, const char *memo,               \
      const char *bingQingMiaoShu
WARDLINK_API int32_t AddVictim(const char* server, const char* login, const char* password,
                               WARDLINK_VICTIM_INFO_PARAMS);
WARDLINK_API int32_t UpdateVictim(const char* server, const char* login, const char* password,
                                  WARDLINK_VICTIM_INFO_PARAMS);

/* Record query: 42 buffers in the order of the stay record (peopleName .. memo), dates as
 * "yyyy-MM-dd HH:mm:ss". 2 = number unknown, 3 = no record in the table of its archive year;
 * buffers are written only on 0. The last argument is not read. */
WARDLINK_API int32_t GetVictimInfo(
    const char* server, const char* login, const char* password, const char* zhuYuanNo,
    char* peopleName, char* unitId, char* unitName, char* mainMgrDoctorUid, char* mainMgrDoctorName,
    char* zhuZhiYiShengUid, char* zhuZhiYiShengName, char* ruYuanZhenDuan, char* helperUidList,
    char* helperNameList, char* danwei, char* zhiYe, char* sex, char* nianLingSui,
    char* nianLingYue, char* nianLingTian, char* minZu, char* address, char* hunYin, char* jiGuan,
    char* postCode, char* yiBaoLeiXing, char* bingAnHao, char* menZhenNo, char* ruYuanCount,
    char* bingQu, char* chuangHao, char* ruYuanDate, char* bingShiCaiJiDate, char* bingShiSayer,
    char* keKaoChengDu, char* zhuYuanLeiBie, char* ruYuanShiBingQing, char* faBingJieQi,
    char* certificateType, char* certificateCode, char* lianXiRenXingMing, char* guanXi,
    char* lianXiRenDianHua, char* lianXiRenZhuZhi, char* lianXiRenYouBian, char* memo,
    int32_t unused);

/* Record deletion: 2 = number unknown, 3 = archived, 4 = rolled back. */
WARDLINK_API int32_t DeleteVictim(const char* server, const char* login, const char* password,
                                  const char* zhuYuanNo);

/* Discharge (chuYuanDate as digits yyyyMMddHHmmss): 2 = number unknown, 3 = archived,
 * 4 = rolled back (an invalid date included). */
WARDLINK_API int32_t VictimChuYuan(const char* server, const char* login, const char* password,
                                   const char* zhuYuanNo, const char* chuYuanDate,
                                   const char* chuYuanZhenDuan, const char* zhiLiaoChuLi,
                                   const char* zhiLiaoJieGuo, const char* shangKouYuHe,
                                   const char* memo);

/* Transfer out and suspension (dates as digits yyyyMMddHHmm): 2 = number unknown or rolled back,
 * 3 = archived. */
WARDLINK_API int32_t VictimZhuanChu(const char* server, const char* login, const char* password,
                                    const char* zhuYuanNo, int32_t tagReciveUnitId,
                                    const char* tagReciveDoctorUid, const char* zhuanKeDate);
WARDLINK_API int32_t GuaQi(const char* server, const char* login, const char* password,
                           const char* zhuYuanNo);

/* Acceptance and cancellations: 2 = number unknown, 3 = archived, 4 = precondition not met
 * (doctor unknown; no pending transfer; not suspended), 5 = rolled back. */
WARDLINK_API int32_t AcceptZhuanKePeople(const char* server, const char* login,
                                         const char* password, const char* zhuYuanNo,
                                         const char* mainMgrDoctorUid,
                                         const char* mainMgrDoctorName, const char* helperUidList,
                                         const char* helperNameList, const char* zhuanKeDate,
                                         const char* bingQu, const char* chuangHao);
WARDLINK_API int32_t CancelZhuanKe(const char* server, const char* login, const char* password,
                                   const char* zhuYuanNo);
WARDLINK_API int32_t CancelGuaQi(const char* server, const char* login, const char* password,
                                 const char* zhuYuanNo);

/* Bed change and hand-over: 2 = number unknown, 3 = archived, 4 = rolled back. */
WARDLINK_API int32_t ZhuanChuang(const char* server, const char* login, const char* password,
                                 const char* zhuYuanNo, const char* chuangHao);
WARDLINK_API int32_t JiaoBan(const char* server, const char* login, const char* password,
                             const char* zhuYuanNo, const char* mainMgrDoctorUid,
                             const char* mainMgrDoctorName, const char* helperUidList,
                             const char* helperNameList, const char* zhuanKeDate);

/* Sized reads: GetZhiCheng, GetBingQingMiaoShu and GetVictimInfo, with the size in bytes of every
 * buffer they fill. Connection, codes 1 to 3, -1, the statements sent and the texts are those of
 * the original export. Each text's length (in bytes, without the zero byte) is stored in the
 * length argument, when that is not null, on result 0 and on WARDLINK_TEXT_DID_NOT_FIT; other
 * results leave the lengths as they were. A text fits when its length is below its buffer's size.
 * When any text does not fit, no buffer is written at all and the result is
 * WARDLINK_TEXT_DID_NOT_FIT: retry with buffers of at least length + 1 bytes. A null buffer is
 * never written (whatever its size) and never too small: a null buffer of size 0 asks for the
 * length alone. On every result but 0 the buffers are left as they were. */
#define WARDLINK_TEXT_DID_NOT_FIT 6

/* listBuffer as in GetZhiCheng (a null listBuffer or *listBuffer is a null buffer); listSize is
 * the size of the buffer *listBuffer points to; *listLength receives the list text's length. */
WARDLINK_API int32_t GetZhiChengSized(const char* server, const char* login, const char* password,
                                      char** listBuffer, int32_t listSize, int32_t* listLength);
WARDLINK_API int32_t GetBingQingMiaoShuSized(const char* server, const char* login,
                                             const char* password, char** listBuffer,
                                             int32_t listSize, int32_t* listLength);

/* slots, slotSizes and slotLengths are arrays of WARDLINK_VICTIM_INFO_SLOTS elements, in the order
 * of GetVictimInfo's buffers (slots[0] is peopleName, slots[41] memo). A null slots array is 42
 * null buffers, a null slotSizes array 42 sizes of 0, a null slotLengths array asks for no
 * lengths. Unlike GetVictimInfo, an error while the record is read (-1) leaves every buffer as it
 * was. */
#define WARDLINK_VICTIM_INFO_SLOTS 42
WARDLINK_API int32_t GetVictimInfoSized(const char* server, const char* login, const char* password,
                                        const char* zhuYuanNo, char* const* slots,
                                        const int32_t* slotSizes, int32_t* slotLengths);

#ifdef __cplusplus
}
#endif

#endif /* WARDLINK_H */
