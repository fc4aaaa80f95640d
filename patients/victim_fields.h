#pragma once

// The stay record's fields in the host's argument order: the one list that the record, its
// binding, its query slots and the exports' arguments are written from. Each use passes three
// macros:
//   NUMBER(member, column)       the stay's number: first, and the query's key
//   FIELD(member, column, kind)  a field of the record, read back into its slot
//   CONDITION(member)            admission's first condition entry: last, and no column
// kind: kText (written as the host passed it), kInteger (written as a number), kDate (converted).
// The public header declares the same arguments by hand; the library does not build if a name
// there differs.
#define WARDLINK_VICTIM_FIELDS(NUMBER, FIELD, CONDITION) \
  NUMBER(zhuYuanNo, kColZhuYuanNo) \
  FIELD(peopleName, kColPeopleName, kText) \
  FIELD(unitId, kColUnitID, kText) \
  FIELD(unitName, kColUnitName, kText) \
  FIELD(mainMgrDoctorUid, kColMainMgrDoctorUid, kText) \
  FIELD(mainMgrDoctorName, kColMainMgrDoctorName, kText) \
  FIELD(zhuZhiYiShengUid, kColZhuZhiYiShengUID, kText) \
  FIELD(zhuZhiYiShengName, kColZhuZhiYiShengName, kText) \
  FIELD(ruYuanZhenDuan, kColRuYuanZhenDuan, kText) \
  FIELD(helperUidList, kColHelperUidList, kText) \
  FIELD(helperNameList, kColHelperNameList, kText) \
  FIELD(danwei, kColDanwei, kText) \
  FIELD(zhiYe, kColZhiYe, kText) \
  FIELD(sex, kColSex, kText) \
  FIELD(nianLingSui, kColNianLingSui, kInteger) \
  FIELD(nianLingYue, kColNianLingYue, kInteger) \
  FIELD(nianLingTian, kColNianLingTian, kInteger) \
  FIELD(minZu, kColMinZu, kText) \
  FIELD(address, kColAddress, kText) \
  FIELD(hunYin, kColHunYin, kText) \
  FIELD(jiGuan, kColJiGuan, kText) \
  FIELD(postCode, kColPostCode, kText) \
  FIELD(yiBaoLeiXing, kColYiBaoLeiXing, kText) \
  FIELD(bingAnHao, kColBingAnHao, kText) \
  FIELD(menZhenNo, kColMenZhenNo, kText) \
  FIELD(ruYuanCount, kColRuYuanCount, kInteger) \
  FIELD(bingQu, kColBingQu, kText) \
  FIELD(chuangHao, kColChuangHao, kText) \
  FIELD(ruYuanDate, kColRuYuanDate, kDate) \
  FIELD(bingShiCaiJiDate, kColBingShiCaiJiDate, kDate) \
  FIELD(bingShiSayer, kColBingShiSayer, kText) \
  FIELD(keKaoChengDu, kColKeKaoChengDu, kText) \
  FIELD(zhuYuanLeiBie, kColZhuYuanLeiBie, kText) \
  FIELD(ruYuanShiBingQing, kColRuYuanShiBingQing, kText) \
  FIELD(faBingJieQi, kColFaBingJieQi, kText) \
  FIELD(certificateType, kColCertificateType, kText) \
  FIELD(certificateCode, kColCertificateCode, kText) \
  FIELD(lianXiRenXingMing, kColLianXiRenXingMing, kText) \
  FIELD(guanXi, kColGuanXi, kText) \
  FIELD(lianXiRenDianHua, kColLianXiRenDianHua, kText) \
  FIELD(lianXiRenZhuZhi, kColLianXiRenZhuZhi, kText) \
  FIELD(lianXiRenYouBian, kColLianXiRenYouBian, kText) \
  FIELD(memo, kColMemo, kText) \
  CONDITION(bingQingMiaoShu)
