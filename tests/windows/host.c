/* A Windows host of WardLink.dll, as today's hosts use it: loaded by name, every export found by
 * name and by ordinal and called with its convention. Built 32-bit, it calls through a stub that
 * checks ESP and the callee-saved registers; built for x64, it leaves junk in the upper half of
 * integer arguments, as x64 callers may. It plays a day of the hospital on the databases it is
 * given and prints one line per failed check, then "N passed, M failed".
 *
 *   host main SQLITE-SERVER ODBC-SERVER BROKEN-SERVER MISSING-SERVER PLAIN-SERVER
 *   host codepage SQLITE-SERVER     (under a Chinese ANSI code page and locale)
 */
#include <objbase.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "wardlink.h"

#if defined(__i386__)
#include "checked_call.h"
typedef uint32_t Slot;
#else
typedef uint64_t Slot;
#endif

typedef struct {
  int ordinal;
  const char* name;
  int args;
  int called; /* through the checked stub at least once */
} Export;

static Export kExports[] = {
#define WARDLINK_EXPORT(ordinal, name, args) {ordinal, #name, args, 0},
#include "library/export_list.h"
#undef WARDLINK_EXPORT
};
#define EXPORT_COUNT ((int)(sizeof(kExports) / sizeof(kExports[0])))

static HMODULE dll;
static int passed, failed, conventionCalls;
static const char* currentExport = "(none)";

/* A crash is a failure with its place, never a silent end (Wine may exit with status 0). */
static LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  printf("FAIL: exception %08lx during %s\n",
         (unsigned long)exception->ExceptionRecord->ExceptionCode, currentExport);
  printf("%d passed, %d failed\n", passed, failed + 1);
  fflush(stdout);
  ExitProcess(3);
  return EXCEPTION_EXECUTE_HANDLER;
}

static void Check(int ok, const char* format, ...) {
  va_list args;
  if (ok) {
    ++passed;
    return;
  }
  ++failed;
  printf("FAIL: ");
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  printf("\n");
  fflush(stdout);
}

static Export* FindExport(const char* name) {
  for (int i = 0; i < EXPORT_COUNT; ++i)
    if (strcmp(kExports[i].name, name) == 0) return &kExports[i];
  return NULL;
}

#if defined(__i386__)
static int conventionFailures;

/* Every call through the stub: a wrong convention shows as a moved ESP or a changed register. */
static uintptr_t CallExport(const char* name, void* function, const Slot* args, int count) {
  CheckedCall call;
  memset(&call, 0, sizeof call);
  call.function = function;
  call.args = args;
  call.count = count;
  call.registerArgs = strcmp(name, "GetBingQingMiaoShu") == 0 ? 3 : 0;
  RunCheckedCall(&call);
  if (call.espDelta != 0 || call.ebx != CHECKED_EBX || call.esi != CHECKED_ESI ||
      call.edi != CHECKED_EDI || call.ebp != CHECKED_EBP) {
    ++conventionFailures;
    Check(0, "%s: ESP off by %d bytes; EBX %08lx ESI %08lx EDI %08lx EBP %08lx", name,
          (int)call.espDelta, (unsigned long)call.ebx, (unsigned long)call.esi,
          (unsigned long)call.edi, (unsigned long)call.ebp);
  }
  return call.result;
}
#else
/* x64 has one convention: the caller owns the stack and a function reads only its own slots, so
 * one type with room for the longest argument list calls every export. */
#define MAX_SLOTS 48
typedef uint64_t (*AnyExport)(Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot,
                              Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot,
                              Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot,
                              Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot, Slot,
                              Slot, Slot, Slot, Slot);

static uintptr_t CallExport(const char* name, void* function, const Slot* args, int count) {
  Slot a[MAX_SLOTS] = {0};
  (void)name;
  memcpy(a, args, (size_t)count * sizeof(Slot));
  return (uintptr_t)((AnyExport)function)(
      a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14],
      a[15], a[16], a[17], a[18], a[19], a[20], a[21], a[22], a[23], a[24], a[25], a[26], a[27],
      a[28], a[29], a[30], a[31], a[32], a[33], a[34], a[35], a[36], a[37], a[38], a[39], a[40],
      a[41], a[42], a[43], a[44], a[45], a[46], a[47]);
}
#endif

/* Calls an export by name, one slot an argument; the raw result (WardLinkVersion's is a pointer).
 * An integer is read as a whole slot: on x64 its upper half is whatever the caller left there. */
static uintptr_t InvokeRaw(const char* name, va_list list) {
  Slot args[64];
  Export* entry = FindExport(name);
  void* function = (void*)GetProcAddress(dll, name);
  uintptr_t result;
  if (function == NULL) {
    Check(0, "%s is not exported", name);
    return (uintptr_t)-99;
  }
  for (int i = 0; i < entry->args; ++i) args[i] = va_arg(list, Slot);
  currentExport = name;
  result = CallExport(name, function, args, entry->args);
  currentExport = "(none)";
  ++conventionCalls;
  entry->called = 1;
  return result;
}

static int32_t Invoke(const char* name, ...) {
  va_list list;
  uintptr_t result;
  va_start(list, name);
  result = InvokeRaw(name, list);
  va_end(list);
  return (int32_t)result;
}

static const char* InvokeText(const char* name, ...) {
  va_list list;
  uintptr_t result;
  va_start(list, name);
  result = InvokeRaw(name, list);
  va_end(list);
  return (const char*)result;
}

static void Expect(const char* what, int32_t got, int32_t want) {
  Check(got == want, "%s: %ld, expected %ld", what, (long)got, (long)want);
}

static void ExpectText(const char* what, const char* got, const char* want) {
  Check(strcmp(got, want) == 0, "%s: \"%s\", expected \"%s\"", what, got, want);
}

static const char* LastError(void) {
  static char message[1024];
  message[0] = '\0';
  Invoke("WardLinkLastError", message, (int32_t)sizeof message);
  return message;
}

/* ---- export table ---- */

static void CheckExportTable(void) {
  const BYTE* base = (const BYTE*)dll;
  const IMAGE_NT_HEADERS* nt =
      (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY* entry =
      &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const IMAGE_EXPORT_DIRECTORY* directory =
      (const IMAGE_EXPORT_DIRECTORY*)(base + entry->VirtualAddress);
  const DWORD* names = (const DWORD*)(base + directory->AddressOfNames);
  const WORD* ordinals = (const WORD*)(base + directory->AddressOfNameOrdinals);

  for (int i = 0; i < EXPORT_COUNT; ++i) {
    FARPROC byName = GetProcAddress(dll, kExports[i].name);
    FARPROC byOrdinal = GetProcAddress(dll, MAKEINTRESOURCEA(kExports[i].ordinal));
    Check(byName != NULL && byName == byOrdinal, "%s and ordinal %d differ", kExports[i].name,
          kExports[i].ordinal);
  }
  Expect("exported names", (int32_t)directory->NumberOfNames, EXPORT_COUNT);
  Expect("exported functions", (int32_t)directory->NumberOfFunctions, EXPORT_COUNT);
  Expect("ordinal base", (int32_t)directory->Base, 1);
  for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
    const char* name = (const char*)(base + names[i]);
    Export* known = FindExport(name);
    Check(known != NULL && known->ordinal == (int)(ordinals[i] + directory->Base),
          "unexpected export %s at ordinal %d", name, (int)(ordinals[i] + directory->Base));
  }
}

/* ---- the day on one database ---- */

typedef struct {
  const char* add;
  const char* update;
  const char* remove;
} Dictionary;

static const Dictionary kDictionaries[] = {
    {"AddZhiYe", "UpdateZhiYe", "DeleteZhiYe"},
    {"AddHunYin", "UpdateHunYin", "DeleteHunYin"},
    {"AddInHospType", "UpdateInHospType", "DeleteInHospType"},
    {"AddYiBaoLeiXing", "UpdateYiBaoLeiXing", "DeleteYiBaoLeiXing"},
    {"AddCertificateType", "UpdateCertificateType", "DeleteCertificateType"},
};

#define VICTIM_FIELDS 44
#define QUERY_SLOTS 42
enum {
  kPeopleName = 1,
  kUnitId = 2,
  kMainDoctor = 4,
  kChuangHao = 27,
  kRuYuanDate = 28,
  kBingShiCaiJiDate = 29
};

static void DefaultVictim(const char* fields[VICTIM_FIELDS], const char* number, const char* name) {
  for (int i = 0; i < VICTIM_FIELDS; ++i) fields[i] = "";
  fields[0] = number;
  fields[kPeopleName] = name;
  fields[kUnitId] = "10";
  fields[kMainDoctor] = "doc1";
  fields[14] = "40"; /* age in years */
  fields[25] = "1";  /* admission count */
  fields[kChuangHao] = "Bed 1";
  fields[kRuYuanDate] = "1/15/2008";
  fields[kBingShiCaiJiDate] = "1/15/2008";
}

static int32_t VictimCall(const char* name, const char* server, const char* fields[]) {
  const char* f[VICTIM_FIELDS];
  memcpy(f, fields, sizeof f);
  return Invoke(name, server, "", "", f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9],
                f[10], f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19], f[20], f[21],
                f[22], f[23], f[24], f[25], f[26], f[27], f[28], f[29], f[30], f[31], f[32], f[33],
                f[34], f[35], f[36], f[37], f[38], f[39], f[40], f[41], f[42], f[43]);
}

static char slots[QUERY_SLOTS][512];

static int32_t QueryVictim(const char* server, const char* number) {
  char(*s)[512] = slots;
  for (int i = 0; i < QUERY_SLOTS; ++i) strcpy(slots[i], "untouched");
  return Invoke("GetVictimInfo", server, "", "", number, s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                s[7], s[8], s[9], s[10], s[11], s[12], s[13], s[14], s[15], s[16], s[17], s[18],
                s[19], s[20], s[21], s[22], s[23], s[24], s[25], s[26], s[27], s[28], s[29], s[30],
                s[31], s[32], s[33], s[34], s[35], s[36], s[37], s[38], s[39], s[40], s[41], 0);
}

static int32_t QueryVictimSized(const char* server, const char* number) {
  char* pointers[QUERY_SLOTS];
  int32_t sizes[QUERY_SLOTS];
  int32_t lengths[QUERY_SLOTS];
  for (int i = 0; i < QUERY_SLOTS; ++i) {
    strcpy(slots[i], "untouched");
    pointers[i] = slots[i];
    sizes[i] = (int32_t)sizeof slots[i];
  }
  return Invoke("GetVictimInfoSized", server, "", "", number, pointers, sizes, lengths);
}

/* Slot of a stay record field (the query leaves out the number and the condition). */
#define SLOT(field) slots[(field)-1]

static void ReadLists(const char* server, const char* expected) {
  char titles[512] = "untouched", conditions[512] = "untouched";
  char* titlesBuffer = titles;
  char* conditionsBuffer = conditions;
  Expect("GetZhiCheng", Invoke("GetZhiCheng", server, "", "", &titlesBuffer), 0);
  Expect("GetBingQingMiaoShu", Invoke("GetBingQingMiaoShu", server, "", "", &conditionsBuffer), 0);
  ExpectText("titles (stdcall)", titles, expected);
  ExpectText("conditions (register convention)", conditions, expected);
  /* The header's declarations, through the import library, reach the same code. */
  titles[0] = conditions[0] = '\0';
  Expect("GetZhiCheng (import library)", GetZhiCheng(server, "", "", &titlesBuffer), 0);
  Expect("GetBingQingMiaoShu (import library)",
         GetBingQingMiaoShu(server, "", "", &conditionsBuffer), 0);
  ExpectText("titles (import library)", titles, expected);
  ExpectText("conditions (import library)", conditions, expected);
  /* The sized reads: the length told, and a buffer too small left as it was. */
  {
    int32_t length = -1;
    strcpy(titles, "untouched");
    Expect(
        "GetZhiChengSized",
        Invoke("GetZhiChengSized", server, "", "", &titlesBuffer, (int32_t)sizeof titles, &length),
        0);
    ExpectText("titles (sized)", titles, expected);
    Expect("title list length", length, (int32_t)strlen(expected));
    strcpy(conditions, "untouched");
    Expect("GetBingQingMiaoShuSized, too small",
           Invoke("GetBingQingMiaoShuSized", server, "", "", &conditionsBuffer, 3, &length),
           WARDLINK_TEXT_DID_NOT_FIT);
    ExpectText("conditions (too small)", conditions, "untouched");
  }
}

static void Scenario(const char* server) {
  const char* victim[VICTIM_FIELDS];
  char label[128];
  printf("scenario on %s\n", server);

  for (int i = 0; i < 5; ++i) {
    const Dictionary* d = &kDictionaries[i];
    Expect(d->add, Invoke(d->add, server, "", "", "entry", 1, 1), 0);
    snprintf(label, sizeof label, "%s again", d->add);
    Expect(label, Invoke(d->add, server, "", "", "entry", 1, 1), 2);
    Expect(d->update, Invoke(d->update, server, "", "", "entry (renamed)", 1, 5), 0);
    snprintf(label, sizeof label, "%s unknown", d->update);
    Expect(label, Invoke(d->update, server, "", "", "x", 99, 1), 2);
    Expect(d->add, Invoke(d->add, server, "", "", "second", 2, 2), 0);
    Expect(d->remove, Invoke(d->remove, server, "", "", 2), 0);
    snprintf(label, sizeof label, "%s again", d->remove);
    Expect(label, Invoke(d->remove, server, "", "", 2), 2);
  }
  ReadLists(server, "Chief physician;Attending physician");

  Expect("AddUnit", Invoke("AddUnit", server, "", "", 10, 1, "Internal medicine", ""), 0);
  Expect("AddUnit again", Invoke("AddUnit", server, "", "", 10, 1, "x", ""), 2);
  Expect("AddUnit 11", Invoke("AddUnit", server, "", "", 11, 1, "Surgery", ""), 0);
  Expect("UpdateUnit", Invoke("UpdateUnit", server, "", "", 11, 2, "Surgery", "second floor"), 0);
  Expect("UpdateUnit unknown", Invoke("UpdateUnit", server, "", "", 99, 1, "x", ""), 2);
  Expect("AddUnit 12", Invoke("AddUnit", server, "", "", 12, 1, "Closed", ""), 0);
  Expect("DeleteUnit", Invoke("DeleteUnit", server, "", "", 12), 0);
  Expect("DeleteUnit again", Invoke("DeleteUnit", server, "", "", 12), 2);

  Expect("AddUser",
         Invoke("AddUser", server, "", "", "doc1", "pw", "Dr One", 0, "Attending physician", 10, 0),
         0);
  Expect("AddUser again",
         Invoke("AddUser", server, "", "", "doc1", "pw", "x", 0, "Attending physician", 10, 0), 3);
  Expect("AddUser no department",
         Invoke("AddUser", server, "", "", "docx", "pw", "x", 0, "Attending physician", 99, 0), 2);
  Expect("AddUser unknown title",
         Invoke("AddUser", server, "", "", "docx", "pw", "x", 0, "Wizard", 10, 0), 4);
  Expect("AddUser bad type",
         Invoke("AddUser", server, "", "", "docx", "pw", "x", 0, "Attending physician", 10, 7), 5);
  Expect("AddUser doc2",
         Invoke("AddUser", server, "", "", "doc2", "pw", "Dr Two", 0, "Chief physician", 11, 0), 0);
  Expect("UpdateUser",
         Invoke("UpdateUser", server, "", "", "doc2", "pw2", "Dr Two", 0, "Chief physician", 11, 1),
         0);
  Expect("AddUser doc3",
         Invoke("AddUser", server, "", "", "doc3", "pw", "Dr Three", 0, "Chief physician", 11, 0),
         0);
  Expect("DeleteUser", Invoke("DeleteUser", server, "", "", "doc3"), 0);
  Expect("DeleteUser again", Invoke("DeleteUser", server, "", "", "doc3"), 2);
  Expect("DeleteUnit in use", Invoke("DeleteUnit", server, "", "", 10), 3);

  Expect("AddIllArea", Invoke("AddIllArea", server, "", "", 10, 1, "Ward A"), 0);
  Expect("AddIllArea again", Invoke("AddIllArea", server, "", "", 10, 1, "Ward A"), 3);
  Expect("AddIllArea no department", Invoke("AddIllArea", server, "", "", 99, 5, "x"), 2);
  Expect("UpdateIllArea", Invoke("UpdateIllArea", server, "", "", 10, 1, "Ward A1"), 0);
  Expect("UpdateIllArea unknown", Invoke("UpdateIllArea", server, "", "", 10, 9, "x"), 3);
  Expect("AddIllArea 2", Invoke("AddIllArea", server, "", "", 11, 2, "Ward B"), 0);
  Expect("AddIllArea 3", Invoke("AddIllArea", server, "", "", 10, 3, "Closed"), 0);
  Expect("DeleteIllArea", Invoke("DeleteIllArea", server, "", "", 3), 0);
  Expect("DeleteIllArea again", Invoke("DeleteIllArea", server, "", "", 3), 2);

  Expect("AddIllBed", Invoke("AddIllBed", server, "", "", 10, 1, 1, "Bed 1"), 0);
  Expect("AddIllBed again", Invoke("AddIllBed", server, "", "", 10, 1, 1, "Bed 1"), 4);
  Expect("AddIllBed no ward", Invoke("AddIllBed", server, "", "", 10, 9, 5, "x"), 3);
  Expect("AddIllBed no department", Invoke("AddIllBed", server, "", "", 99, 1, 5, "x"), 2);
  Expect("UpdateIllBed", Invoke("UpdateIllBed", server, "", "", 1, "Bed 1a"), 0);
  Expect("UpdateIllBed unknown", Invoke("UpdateIllBed", server, "", "", 9, "x"), 2);
  Expect("AddIllBed 2", Invoke("AddIllBed", server, "", "", 10, 1, 2, "Bed 2"), 0);
  Expect("DeleteIllBed", Invoke("DeleteIllBed", server, "", "", 2), 0);
  Expect("DeleteIllBed again", Invoke("DeleteIllBed", server, "", "", 2), 2);

  DefaultVictim(victim, "ZY001", "Li Lei");
  Expect("AddVictim", VictimCall("AddVictim", server, victim), 0);
  Expect("AddVictim again", VictimCall("AddVictim", server, victim), 4);
  DefaultVictim(victim, "ZY002", "Han Meimei");
  Expect("AddVictim ZY002", VictimCall("AddVictim", server, victim), 0);
  Expect("GetVictimInfo", QueryVictim(server, "ZY001"), 0);
  ExpectText("name", SLOT(kPeopleName), "Li Lei");
  ExpectText("admission date (M/d/yyyy)", SLOT(kRuYuanDate), "2008-01-15 00:00:00");
  Expect("GetVictimInfoSized", QueryVictimSized(server, "ZY001"), 0);
  ExpectText("name (sized)", SLOT(kPeopleName), "Li Lei");
  Expect("GetVictimInfo unknown", QueryVictim(server, "NOPE"), 2);
  ExpectText("buffers untouched", SLOT(kPeopleName), "untouched");
  DefaultVictim(victim, "ZY001", "Li Lei (corrected)");
  Expect("UpdateVictim", VictimCall("UpdateVictim", server, victim), 0);
  DefaultVictim(victim, "NOPE", "x");
  Expect("UpdateVictim unknown", VictimCall("UpdateVictim", server, victim), 2);

  Expect("VictimZhuanChu",
         Invoke("VictimZhuanChu", server, "", "", "ZY001", 11, "doc2", "200801161030"), 0);
  Expect("CancelZhuanKe", Invoke("CancelZhuanKe", server, "", "", "ZY001"), 0);
  Expect("CancelZhuanKe again", Invoke("CancelZhuanKe", server, "", "", "ZY001"), 4);
  Expect("VictimZhuanChu again",
         Invoke("VictimZhuanChu", server, "", "", "ZY001", 11, "doc2", "200801161100"), 0);
  Expect("AcceptZhuanKePeople",
         Invoke("AcceptZhuanKePeople", server, "", "", "ZY001", "doc2", "Dr Two", "", "",
                "200801171000", "Ward B", "Bed 7"),
         0);
  Expect("AcceptZhuanKePeople by an unknown doctor",
         Invoke("AcceptZhuanKePeople", server, "", "", "ZY001", "nobody", "x", "", "",
                "200801171000", "Ward B", "Bed 7"),
         4);
  Expect("GuaQi", Invoke("GuaQi", server, "", "", "ZY001"), 0);
  Expect("CancelGuaQi", Invoke("CancelGuaQi", server, "", "", "ZY001"), 0);
  Expect("CancelGuaQi again", Invoke("CancelGuaQi", server, "", "", "ZY001"), 4);
  Expect("JiaoBan",
         Invoke("JiaoBan", server, "", "", "ZY001", "doc1", "Dr One", "doc2", "Dr Two",
                "200801181000"),
         0);
  Expect("ZhuanChuang", Invoke("ZhuanChuang", server, "", "", "ZY001", "Bed 8"), 0);
  Expect("VictimChuYuan",
         Invoke("VictimChuYuan", server, "", "", "ZY001", "20080120100000", "recovered", "rest",
                "healed", "clean", "note"),
         0);
  Expect("GetVictimInfo after the movements", QueryVictim(server, "ZY001"), 0);
  ExpectText("department after acceptance", SLOT(kUnitId), "11");
  ExpectText("doctor after hand-over", SLOT(kMainDoctor), "doc1");
  ExpectText("bed after bed change", SLOT(kChuangHao), "Bed 8");
  Expect("DeleteVictim", Invoke("DeleteVictim", server, "", "", "ZY002"), 0);
  Expect("DeleteVictim again", Invoke("DeleteVictim", server, "", "", "ZY002"), 2);
}

/* ---- failures ---- */

typedef struct {
  const char* broken;
  int32_t before; /* the fresh thread's message length */
  int32_t result; /* its own call on the broken database */
  int32_t after;  /* its message length then */
} ThreadError;

/* Called directly: the checked stub is for the main thread only. */
static DWORD WINAPI OtherThreadsError(LPVOID parameter) {
  ThreadError* error = (ThreadError*)parameter;
  char message[256] = "";
  error->before = WardLinkLastError(message, (int32_t)sizeof message);
  error->result = AddZhiYe(error->broken, "", "", "x", 1, 1);
  error->after = WardLinkLastError(message, (int32_t)sizeof message);
  return 0;
}

static void Failures(const char* good, const char* broken, const char* missing, const char* plain) {
  char titles[64] = "untouched";
  char* buffer = titles;
  ThreadError other = {broken, -1, 0, 0};
  HANDLE thread;
  char mine[1024];

  Expect("a missing table", Invoke("AddZhiYe", broken, "", "", "x", 1, 1), -1);
  Check(strstr(LastError(), "Emr_ZhiYe") != NULL, "the -1 message names the table: \"%s\"",
        LastError());
  strcpy(mine, LastError());
  thread = CreateThread(NULL, 0, OtherThreadsError, &other, 0, NULL);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  Expect("a new thread's message", other.before, 0);
  Expect("a -1 on another thread", other.result, -1);
  Check(other.after > 0, "the other thread reads its own message");
  ExpectText("this thread's message after the other's", LastError(), mine);
  Expect("a call that succeeds", Invoke("GetZhiCheng", good, "", "", &buffer), 0);
  ExpectText("message after success", LastError(), "");
  buffer = titles;
  strcpy(titles, "untouched");

  Expect("a missing database file", Invoke("GetZhiCheng", missing, "", "", &buffer), 1);
  ExpectText("buffer after result 1", titles, "untouched");
  /* A plain server name goes to the newest SQL Server driver registered; the test registers the
   * SQLite driver under such a name, reading a trial database named after the catalog. */
  Expect("a plain server name", Invoke("AddZhiYe", plain, "", "", "via the driver", 7, 7), 0);
  /* A password that would end its braced value early and name a driver of its own is never sent,
   * and the reason does not show it. */
  Expect("a hostile password",
         Invoke("AddZhiYe", plain, "sa", "pw}Driver=C:\\evil.dll;", "x", 8, 8), 1);
  Check(strncmp(LastError(), "connection string refused:", 26) == 0 &&
            strstr(LastError(), "evil") == NULL,
        "the hostile password is refused unsent: \"%s\"", LastError());
}

#if !defined(__i386__)
/* ---- x64: integers in 8-byte slots ---- */

/* The upper half of an int32_t argument's slot is undefined on x64, and a host may leave junk
 * there: the DLL reads the lower half only. */
static void JunkAboveIntegers(const char* server) {
  const Slot junk = 0xA5A5A5A500000000ull;
  Expect("AddZhiYe with junk above its integers",
         Invoke("AddZhiYe", server, "", "", "junk", junk | 30, junk | 3), 0);
  Expect("DeleteZhiYe of the lower half", Invoke("DeleteZhiYe", server, "", "", (Slot)30), 0);
  Expect("DeleteZhiYe again, with junk", Invoke("DeleteZhiYe", server, "", "", junk | 30), 2);
}
#endif

/* ---- COM ---- */

typedef struct {
  const char* server;
  int ok;
} ComOutcome;

static DWORD WINAPI MultithreadedCaller(LPVOID parameter) {
  ComOutcome* outcome = (ComOutcome*)parameter;
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  char titles[512];
  char* buffer = titles;
  if (FAILED(CoInitializeEx(NULL, COINIT_MULTITHREADED))) return 0;
  outcome->ok = GetZhiCheng(outcome->server, "", "", &buffer) == 0 &&
                SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MTA;
  CoUninitialize();
  return 0;
}

static DWORD WINAPI PlainCaller(LPVOID parameter) {
  ComOutcome* outcome = (ComOutcome*)parameter;
  char titles[512];
  char* buffer = titles;
  HRESULT after;
  outcome->ok = GetZhiCheng(outcome->server, "", "", &buffer) == 0;
  /* The call released what it initialised: the thread can still choose its apartment. */
  after = CoInitializeEx(NULL, COINIT_MULTITHREADED);
  outcome->ok = outcome->ok && after == S_OK;
  if (SUCCEEDED(after)) CoUninitialize();
  return 0;
}

static int RunOnThread(LPTHREAD_START_ROUTINE routine, const char* server) {
  ComOutcome outcome = {server, 0};
  HANDLE thread = CreateThread(NULL, 0, routine, &outcome, 0, NULL);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return outcome.ok;
}

static void ComChecks(const char* server) {
  Check(RunOnThread(MultithreadedCaller, server),
        "a thread in the multithreaded apartment stays in it after a call");
  Check(RunOnThread(PlainCaller, server),
        "a call leaves no apartment behind on a thread without COM");
}

/* ---- code page and regional settings ---- */

#define GBK_CHIEF "\xD6\xF7\xC8\xCE\xD2\xBD\xCA\xA6"     /* chief physician */
#define GBK_ATTENDING "\xD6\xF7\xD6\xCE\xD2\xBD\xCA\xA6" /* attending physician */
#define GBK_MEDICINE "\xC4\xDA\xBF\xC6"                  /* internal medicine */
#define GBK_WANG "\xCD\xF5\xD0\xA1\xC3\xF7"              /* a patient's name */
#define GBK_ZHANG "\xD5\xC5\xD2\xBD\xC9\xFA"             /* a doctor's name */

static void CodePage(const char* server) {
  const char* victim[VICTIM_FIELDS];
  wchar_t shortDate[80];
  char shown[80];
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, shortDate, 80);
  WideCharToMultiByte(CP_ACP, 0, shortDate, -1, shown, sizeof shown, NULL, NULL);
  printf("code page %u, short date %s\n", GetACP(), shown);
  Expect("ANSI code page", (int32_t)GetACP(), 936);
  ExpectText("short date form", shown, "yyyy/M/d");

  ReadLists(server, GBK_CHIEF ";" GBK_ATTENDING);
  Expect("AddUnit", Invoke("AddUnit", server, "", "", 10, 1, GBK_MEDICINE, ""), 0);
  /* The title is found only if it converts exactly. */
  Expect("AddUser with a title in the code page",
         Invoke("AddUser", server, "", "", "doc1", "pw", GBK_ZHANG, 0, GBK_ATTENDING, 10, 0), 0);

  DefaultVictim(victim, "ZY100", GBK_WANG);
  victim[kRuYuanDate] = "2008/1/15";
  victim[kBingShiCaiJiDate] = "1/15/2008"; /* not this locale's form */
  Expect("AddVictim", VictimCall("AddVictim", server, victim), 0);
  Expect("GetVictimInfo", QueryVictim(server, "ZY100"), 0);
  ExpectText("name round trip", SLOT(kPeopleName), GBK_WANG);
  ExpectText("date in the locale's short form", SLOT(kRuYuanDate), "2008-01-15 00:00:00");
  Check(strcmp(SLOT(kBingShiCaiJiDate), "2008-01-15 00:00:00") != 0,
        "a date in another form is not read as one: %s", SLOT(kBingShiCaiJiDate));

  /* A lead byte without its trail byte is one invalid byte: "?", and the blank after it stays. */
  DefaultVictim(victim, "ZY101", "A\x81 B");
  Expect("AddVictim with an invalid sequence", VictimCall("AddVictim", server, victim), 0);
  Expect("GetVictimInfo", QueryVictim(server, "ZY101"), 0);
  ExpectText("invalid sequence", SLOT(kPeopleName), "A? B");
}

int main(int argc, char** argv) {
  int mainMode = argc == 7 && strcmp(argv[1], "main") == 0;
  int codePageMode = argc == 3 && strcmp(argv[1], "codepage") == 0;
  if (!mainMode && !codePageMode) {
    fprintf(stderr, "usage: host main SQLITE ODBC BROKEN MISSING PLAIN | host codepage SQLITE\n");
    return 2;
  }
  setvbuf(stdout, NULL, _IONBF, 0);
  SetUnhandledExceptionFilter(ReportCrash);
  dll = LoadLibraryA("WardLink.dll");
  Check(dll != NULL, "WardLink.dll loads (error %lu)", (unsigned long)GetLastError());
  if (dll == NULL) {
    printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }
  CheckExportTable();
  /* The loaded library and the header this host was built with. */
  ExpectText("WardLinkVersion", InvokeText("WardLinkVersion"), WARDLINK_VERSION_STRING);
  if (mainMode) {
    Scenario(argv[2]);
    Scenario(argv[3]);
    Failures(argv[2], argv[4], argv[5], argv[6]);
    ComChecks(argv[2]);
#if !defined(__i386__)
    JunkAboveIntegers(argv[2]);
#endif
    for (int i = 0; i < EXPORT_COUNT; ++i)
      Check(kExports[i].called, "%s was not called through the checked stub", kExports[i].name);
  } else {
    CodePage(argv[2]);
  }
#if defined(__i386__)
  printf("conventions: %d checked calls, %d with ESP or a callee-saved register changed\n",
         conventionCalls, conventionFailures);
#else
  printf("conventions: %d calls in the x64 convention\n", conventionCalls);
#endif
  printf("%d passed, %d failed\n", passed, failed);
  fflush(stdout);
  return failed == 0 ? 0 : 1;
}
