/* WardLink: keeps the EMR database in step with the hospital administration's records.
 *
 * Every export opens its own connection from the first three arguments (server, login,
 * password), does one job, frees everything and returns a result code:
 *    0  done
 *    1  the connection could not be opened (nothing read or written, buffers untouched)
 *   2-5 the export's own refusals and failures, listed per family below
 *   -1  an unexpected database error
 * After 1, -1 and an export's "rolled back" code, WardLinkLastError() says why (never showing
 * the password).
 *
 * server: "sqlite:PATH" (embedded trial database), "odbc:CONNECTION-STRING" (any ODBC data
 * source) or a SQL Server name (catalog KLINODB). Texts are zero-terminated 8-bit strings in the
 * system ANSI code page on Windows and the code page of the environment's locale elsewhere; a
 * null pointer reads as the empty text. Buffers are the
 * caller's and carry no size: the caller provides room for the longest text plus one zero byte.
 * The exports that fill buffers also come in a sized form (at the end of this header), which is
 * told each buffer's size and never writes past it.
 */
#ifndef WARDLINK_H
#define WARDLINK_H

#include <stdint.h>

/* Calling conventions. On 32-bit Windows every export is stdcall (the callee pops 4 bytes per
 * argument) except GetBingQingMiaoShu, which takes server, login and password in EAX, EDX and ECX
 * and only its buffer address on the stack, popped by the callee (4 bytes): GCC and Clang spell
 * that regparm(3) with stdcall. A compiler without that convention (MSVC's __fastcall uses ECX
 * and EDX) gets no declaration of GetBingQingMiaoShu: call it through a few lines of assembly
 * that load the three registers, push the buffer address and call the address from
 * GetProcAddress. The DLL exports plain names at fixed ordinals (see the README). Elsewhere the
 * platform's C convention. */
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define WARDLINK_API
#define WARDLINK_CALL __stdcall
#if defined(__GNUC__)
#define WARDLINK_REGISTER_CALL __attribute__((regparm(3), stdcall))
#endif
#elif defined(_WIN32)
#define WARDLINK_API
#define WARDLINK_CALL
#define WARDLINK_REGISTER_CALL
#else
#define WARDLINK_API __attribute__((visibility("default")))
#define WARDLINK_CALL
#define WARDLINK_REGISTER_CALL
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
WARDLINK_API const char* WARDLINK_CALL WardLinkVersion(void);

/* Copies the message of this thread's last call (at most size - 1 bytes, zero-terminated;
 * nothing when size <= 0) and returns the message's full length. After 1 it says why the
 * connection could not be opened, starting with the kind of failure ("database file not found:",
 * "login refused:", ...; the README lists them), the password masked wherever the database or
 * driver echoes it; after -1 it is the database's message; after an export's "rolled back" code
 * it is the database's reason for the failure (a constraint, a lock, a bad date). Every other
 * result leaves it empty. */
WARDLINK_API int32_t WARDLINK_CALL WardLinkLastError(char* buffer, int32_t size);

/* Dictionaries: occupation, marital status, in-hospital type, medical insurance type, identity
 * document type. Add: 2 = ID already present. Update, Delete: 2 = ID not found. */
WARDLINK_API int32_t WARDLINK_CALL AddZhiYe(const char* server, const char* login,
                                            const char* password, const char* entryName, int32_t id,
                                            int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL UpdateZhiYe(const char* server, const char* login,
                                               const char* password, const char* entryName,
                                               int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL DeleteZhiYe(const char* server, const char* login,
                                               const char* password, int32_t id);
WARDLINK_API int32_t WARDLINK_CALL AddHunYin(const char* server, const char* login,
                                             const char* password, const char* entryName,
                                             int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL UpdateHunYin(const char* server, const char* login,
                                                const char* password, const char* entryName,
                                                int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL DeleteHunYin(const char* server, const char* login,
                                                const char* password, int32_t id);
WARDLINK_API int32_t WARDLINK_CALL AddInHospType(const char* server, const char* login,
                                                 const char* password, const char* entryName,
                                                 int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL UpdateInHospType(const char* server, const char* login,
                                                    const char* password, const char* entryName,
                                                    int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL DeleteInHospType(const char* server, const char* login,
                                                    const char* password, int32_t id);
WARDLINK_API int32_t WARDLINK_CALL AddYiBaoLeiXing(const char* server, const char* login,
                                                   const char* password, const char* entryName,
                                                   int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL UpdateYiBaoLeiXing(const char* server, const char* login,
                                                      const char* password, const char* entryName,
                                                      int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL DeleteYiBaoLeiXing(const char* server, const char* login,
                                                      const char* password, int32_t id);
WARDLINK_API int32_t WARDLINK_CALL AddCertificateType(const char* server, const char* login,
                                                      const char* password, const char* entryName,
                                                      int32_t id, int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL UpdateCertificateType(const char* server, const char* login,
                                                         const char* password,
                                                         const char* entryName, int32_t id,
                                                         int32_t theOrder);
WARDLINK_API int32_t WARDLINK_CALL DeleteCertificateType(const char* server, const char* login,
                                                         const char* password, int32_t id);

/* Lookup lists: professional titles and condition descriptions, each value trimmed, joined by
 * ";", written into the buffer that *listBuffer points to. Codes: 0, 1. */
WARDLINK_API int32_t WARDLINK_CALL GetZhiCheng(const char* server, const char* login,
                                               const char* password, char** listBuffer);
#if defined(WARDLINK_REGISTER_CALL)
WARDLINK_API int32_t WARDLINK_REGISTER_CALL GetBingQingMiaoShu(const char* server,
                                                               const char* login,
                                                               const char* password,
                                                               char** listBuffer);
#endif

/* Departments. Add: 2 = ID present. Update: 2 = ID not found. Delete: 2 = ID not found,
 * 3 = still referred to by a user, a patient record or a ward. */
WARDLINK_API int32_t WARDLINK_CALL AddUnit(const char* server, const char* login,
                                           const char* password, int32_t id, int32_t unitTypeId,
                                           const char* unitName, const char* memo);
WARDLINK_API int32_t WARDLINK_CALL UpdateUnit(const char* server, const char* login,
                                              const char* password, int32_t id, int32_t unitTypeId,
                                              const char* unitName, const char* memo);
WARDLINK_API int32_t WARDLINK_CALL DeleteUnit(const char* server, const char* login,
                                              const char* password, int32_t id);

/* Users. Add/Update: 2 = department not found, 3 = user exists (Add) or not found (Update),
 * 4 = title not in the title list, 5 = tempType neither 0 nor 1. spare is never read.
 * Delete: 2 = user not found. */
WARDLINK_API int32_t WARDLINK_CALL AddUser(const char* server, const char* login,
                                           const char* password, const char* userId,
                                           const char* pwd, const char* userName, int32_t spare,
                                           const char* zhiCheng, int32_t unitId, int32_t tempType);
WARDLINK_API int32_t WARDLINK_CALL UpdateUser(const char* server, const char* login,
                                              const char* password, const char* userId,
                                              const char* pwd, const char* userName, int32_t spare,
                                              const char* zhiCheng, int32_t unitId,
                                              int32_t tempType);
WARDLINK_API int32_t WARDLINK_CALL DeleteUser(const char* server, const char* login,
                                              const char* password, const char* userId);

/* Wards and beds. AddIllArea: 2 = no department, 3 = ward exists. UpdateIllArea: 2 = no
 * department, 3 = no ward. DeleteIllArea: 2 = no ward. AddIllBed: 2 = no department, 3 = no such
 * ward in the department, 4 = bed exists. UpdateIllBed, DeleteIllBed: 2 = no bed. */
WARDLINK_API int32_t WARDLINK_CALL AddIllArea(const char* server, const char* login,
                                              const char* password, int32_t unitId, int32_t id,
                                              const char* iaName);
WARDLINK_API int32_t WARDLINK_CALL UpdateIllArea(const char* server, const char* login,
                                                 const char* password, int32_t unitId, int32_t id,
                                                 const char* iaName);
WARDLINK_API int32_t WARDLINK_CALL DeleteIllArea(const char* server, const char* login,
                                                 const char* password, int32_t id);
WARDLINK_API int32_t WARDLINK_CALL AddIllBed(const char* server, const char* login,
                                             const char* password, int32_t unitId,
                                             int32_t illAreaId, int32_t id, const char* ibName);
WARDLINK_API int32_t WARDLINK_CALL UpdateIllBed(const char* server, const char* login,
                                                const char* password, int32_t id,
                                                const char* ibName);
WARDLINK_API int32_t WARDLINK_CALL DeleteIllBed(const char* server, const char* login,
                                                const char* password, int32_t id);

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
WARDLINK_API int32_t WARDLINK_CALL AddVictim(const char* server, const char* login,
                                             const char* password, WARDLINK_VICTIM_INFO_PARAMS);
WARDLINK_API int32_t WARDLINK_CALL UpdateVictim(const char* server, const char* login,
                                                const char* password, WARDLINK_VICTIM_INFO_PARAMS);

/* Record query: 42 buffers in the order of the stay record (peopleName .. memo), dates as
 * "yyyy-MM-dd HH:mm:ss". 2 = number unknown, 3 = no record in the table of its archive year.
 * On 0 every buffer is written; on 1, 2 and 3 none. On -1 (a column that cannot be read) the
 * buffers before the failing column have been written and the others are untouched. The last
 * argument is not read. */
WARDLINK_API int32_t WARDLINK_CALL GetVictimInfo(
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
WARDLINK_API int32_t WARDLINK_CALL DeleteVictim(const char* server, const char* login,
                                                const char* password, const char* zhuYuanNo);

/* Discharge (chuYuanDate as digits yyyyMMddHHmmss): 2 = number unknown, 3 = archived,
 * 4 = rolled back (an invalid date included). */
WARDLINK_API int32_t WARDLINK_CALL
VictimChuYuan(const char* server, const char* login, const char* password, const char* zhuYuanNo,
              const char* chuYuanDate, const char* chuYuanZhenDuan, const char* zhiLiaoChuLi,
              const char* zhiLiaoJieGuo, const char* shangKouYuHe, const char* memo);

/* Transfer out and suspension (dates as digits yyyyMMddHHmm): 2 = number unknown or rolled back,
 * 3 = archived. */
WARDLINK_API int32_t WARDLINK_CALL VictimZhuanChu(const char* server, const char* login,
                                                  const char* password, const char* zhuYuanNo,
                                                  int32_t tagReciveUnitId,
                                                  const char* tagReciveDoctorUid,
                                                  const char* zhuanKeDate);
WARDLINK_API int32_t WARDLINK_CALL GuaQi(const char* server, const char* login,
                                         const char* password, const char* zhuYuanNo);

/* Acceptance and cancellations: 2 = number unknown, 3 = archived, 4 = precondition not met
 * (doctor unknown; no pending transfer; not suspended), 5 = rolled back. */
WARDLINK_API int32_t WARDLINK_CALL AcceptZhuanKePeople(
    const char* server, const char* login, const char* password, const char* zhuYuanNo,
    const char* mainMgrDoctorUid, const char* mainMgrDoctorName, const char* helperUidList,
    const char* helperNameList, const char* zhuanKeDate, const char* bingQu, const char* chuangHao);
WARDLINK_API int32_t WARDLINK_CALL CancelZhuanKe(const char* server, const char* login,
                                                 const char* password, const char* zhuYuanNo);
WARDLINK_API int32_t WARDLINK_CALL CancelGuaQi(const char* server, const char* login,
                                               const char* password, const char* zhuYuanNo);

/* Bed change and hand-over: 2 = number unknown, 3 = archived, 4 = rolled back. */
WARDLINK_API int32_t WARDLINK_CALL ZhuanChuang(const char* server, const char* login,
                                               const char* password, const char* zhuYuanNo,
                                               const char* chuangHao);
WARDLINK_API int32_t WARDLINK_CALL JiaoBan(const char* server, const char* login,
                                           const char* password, const char* zhuYuanNo,
                                           const char* mainMgrDoctorUid,
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
WARDLINK_API int32_t WARDLINK_CALL GetZhiChengSized(const char* server, const char* login,
                                                    const char* password, char** listBuffer,
                                                    int32_t listSize, int32_t* listLength);
WARDLINK_API int32_t WARDLINK_CALL GetBingQingMiaoShuSized(const char* server, const char* login,
                                                           const char* password, char** listBuffer,
                                                           int32_t listSize, int32_t* listLength);

/* slots, slotSizes and slotLengths are arrays of WARDLINK_VICTIM_INFO_SLOTS elements, in the order
 * of GetVictimInfo's buffers (slots[0] is peopleName, slots[41] memo). A null slots array is 42
 * null buffers, a null slotSizes array 42 sizes of 0, a null slotLengths array asks for no
 * lengths. Unlike GetVictimInfo, an error while the record is read (-1) leaves every buffer as it
 * was. */
#define WARDLINK_VICTIM_INFO_SLOTS 42
WARDLINK_API int32_t WARDLINK_CALL GetVictimInfoSized(const char* server, const char* login,
                                                      const char* password, const char* zhuYuanNo,
                                                      char* const* slots, const int32_t* slotSizes,
                                                      int32_t* slotLengths);

#ifdef __cplusplus
}
#endif

#endif /* WARDLINK_H */
