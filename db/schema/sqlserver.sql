-- The tables that WardLink reads and writes, for a trial in an empty SQL Server catalog
-- KLINODB: run this script in that catalog. Generated from db/schema.h; a test keeps it
-- equal to the generator. Names resolve without regard to case under the server's
-- default case-insensitive collation, as the library's statements need.
SET XACT_ABORT ON;
BEGIN TRANSACTION;
CREATE TABLE dbo.Emr_Unit (
  ID int NOT NULL,
  UnitTypeID int NULL,
  UnitName varchar(8000) NULL,
  Memo varchar(8000) NULL,
  CONSTRAINT UQ_Emr_Unit UNIQUE (ID)
);
CREATE TABLE dbo.Emr_User (
  UserID varchar(255) NOT NULL,
  Pwd varchar(8000) NULL,
  UserName varchar(8000) NULL,
  UnitID int NULL,
  TempType int NULL,
  ZhiCheng varchar(8000) NULL,
  CONSTRAINT UQ_Emr_User UNIQUE (UserID)
);
CREATE INDEX Emr_User_Lookup ON dbo.Emr_User (UnitID);
CREATE TABLE dbo.Emr_illArea (
  UnitID int NULL,
  ID int NOT NULL,
  iaName varchar(8000) NULL,
  CONSTRAINT UQ_Emr_illArea UNIQUE (ID)
);
CREATE INDEX Emr_illArea_Lookup ON dbo.Emr_illArea (UnitID);
CREATE TABLE dbo.Emr_IllBed (
  UnitID int NULL,
  illAreaID int NULL,
  ID int NOT NULL,
  ibName varchar(8000) NULL,
  CONSTRAINT UQ_Emr_IllBed UNIQUE (ID)
);
CREATE TABLE dbo.Emr_ZhiYe (
  ID int NOT NULL,
  theOrder int NULL,
  ZhiYe varchar(8000) NULL,
  CONSTRAINT UQ_Emr_ZhiYe UNIQUE (ID)
);
CREATE TABLE dbo.Emr_HunYin (
  ID int NOT NULL,
  theOrder int NULL,
  HunYin varchar(8000) NULL,
  CONSTRAINT UQ_Emr_HunYin UNIQUE (ID)
);
CREATE TABLE dbo.Emr_InHospType (
  ID int NOT NULL,
  theOrder int NULL,
  InHospType varchar(8000) NULL,
  CONSTRAINT UQ_Emr_InHospType UNIQUE (ID)
);
CREATE TABLE dbo.Emr_YiBaoLeiXing (
  ID int NOT NULL,
  theOrder int NULL,
  YiBaoLeiXing varchar(8000) NULL,
  CONSTRAINT UQ_Emr_YiBaoLeiXing UNIQUE (ID)
);
CREATE TABLE dbo.Emr_CertificateType (
  ID int NOT NULL,
  theOrder int NULL,
  CertificateType varchar(8000) NULL,
  CONSTRAINT UQ_Emr_CertificateType UNIQUE (ID)
);
CREATE TABLE dbo.Emr_YiShengZhiCheng (
  ZhiCheng varchar(8000) NULL
);
CREATE TABLE dbo.Emr_BingQingMiaoShu (
  BingQingMiaoShu varchar(8000) NULL
);
CREATE TABLE dbo.EMR_FORMATDATETYPE (
  ID int NOT NULL,
  UserDefault int NULL,
  CONSTRAINT UQ_EMR_FORMATDATETYPE UNIQUE (ID)
);
CREATE TABLE dbo.EMR_FORMATDATE (
  FormatDateTypeID int NULL,
  UserDefault int NULL,
  FormatDateTime_Show varchar(8000) NULL,
  FormatDateTime_Input varchar(8000) NULL
);
CREATE TABLE dbo.Emr_Doc_Emr_InfoList (
  ZhuYuanNo varchar(255) NOT NULL,
  PeopleName varchar(8000) NULL,
  BingAnHao varchar(8000) NULL,
  CertificateType varchar(8000) NULL,
  CertificateCode varchar(8000) NULL,
  GuiDangND int NULL CONSTRAINT DF_Emr_Doc_Emr_InfoList_GuiDangND DEFAULT 0,
  CONSTRAINT UQ_Emr_Doc_Emr_InfoList UNIQUE (ZhuYuanNo)
);
CREATE TABLE dbo.Emr_Doc_Emr_Info (
  ZhuYuanNo varchar(255) NOT NULL,
  PeopleName varchar(8000) NULL,
  UnitName varchar(8000) NULL,
  MainMgrDoctorUid varchar(8000) NULL,
  MainMgrDoctorName varchar(8000) NULL,
  HelperUidList varchar(8000) NULL,
  HelperNameList varchar(8000) NULL,
  Danwei varchar(8000) NULL,
  ZhiYe varchar(8000) NULL,
  Sex varchar(8000) NULL,
  MinZu varchar(8000) NULL,
  Address varchar(8000) NULL,
  HunYin varchar(8000) NULL,
  JiGuan varchar(8000) NULL,
  PostCode varchar(8000) NULL,
  YiBaoLeiXing varchar(8000) NULL,
  BingAnHao varchar(8000) NULL,
  MenZhenNo varchar(8000) NULL,
  BingQu varchar(8000) NULL,
  ChuangHao varchar(8000) NULL,
  BingShiSayer varchar(8000) NULL,
  KeKaoChengDu varchar(8000) NULL,
  ZhuYuanLeiBie varchar(8000) NULL,
  RuYuanShiBingQing varchar(8000) NULL,
  FaBingJieQi varchar(8000) NULL,
  CertificateType varchar(8000) NULL,
  CertificateCode varchar(8000) NULL,
  ZhuZhiYiShengUID varchar(8000) NULL,
  ZhuZhiYiShengName varchar(8000) NULL,
  RuYuanZhenDuan varchar(8000) NULL,
  LianXiRenXingMing varchar(8000) NULL,
  GuanXi varchar(8000) NULL,
  LianXiRenDianHua varchar(8000) NULL,
  LianXiRenZhuZhi varchar(8000) NULL,
  LianXiRenYouBian varchar(8000) NULL,
  Memo varchar(8000) NULL,
  UnitID int NULL,
  NianLing_Sui int NULL,
  NianLing_Yue int NULL,
  NianLing_Tian int NULL,
  RuYuanCount int NULL,
  F_Age float NULL,
  RuYuanDate datetime2(3) NULL,
  BingShiCaiJiDate datetime2(3) NULL,
  RuYuanDate_Str varchar(8000) NULL,
  RuYuanDate_InputMode varchar(8000) NULL,
  BingShiCaiJiDate_Str varchar(8000) NULL,
  BingShiCaiJiDate_InputMode varchar(8000) NULL,
  PeopleEmrStateID int NULL,
  TagReciveUnitID int NULL,
  TagReciveDoctorUid varchar(8000) NULL,
  ChuYuanDate datetime2(3) NULL,
  ChuYuanZhenDuan varchar(8000) NULL,
  ZhiLiaoChuLi varchar(8000) NULL,
  ZhiLiaoJieGuo varchar(8000) NULL,
  ShangKouYuHe varchar(8000) NULL,
  CONSTRAINT UQ_Emr_Doc_Emr_Info UNIQUE (ZhuYuanNo)
);
CREATE INDEX Emr_Doc_Emr_Info_Lookup ON dbo.Emr_Doc_Emr_Info (UnitID);
CREATE TABLE dbo.Emr_Doc_Emr_Event (
  ZhuYuanNo varchar(255) NULL,
  SequenceNumber int NULL,
  EventCode varchar(8000) NULL,
  EventDate datetime2(3) NULL,
  Memo varchar(8000) NULL
);
CREATE UNIQUE INDEX Emr_Doc_Emr_Event_Lookup ON dbo.Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber);
CREATE TABLE dbo.Emr_Doc_Emr_StateInfo (
  ZhuYuanNo varchar(255) NULL,
  SequenceNumber int NULL,
  BingQingMiaoShu varchar(8000) NULL,
  BeginDate datetime2(3) NULL,
  Memo varchar(8000) NULL
);
CREATE INDEX Emr_Doc_Emr_StateInfo_Lookup ON dbo.Emr_Doc_Emr_StateInfo (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_Emr (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_Doc_Emr_Lookup ON dbo.Emr_Doc_Emr (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_Emr_FB (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_Doc_Emr_FB_Lookup ON dbo.Emr_Doc_Emr_FB (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_FuJian (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_Doc_FuJian_Lookup ON dbo.Emr_Doc_FuJian (ZhuYuanNo);
CREATE TABLE dbo.Emr_BingLiPingFen (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_BingLiPingFen_Lookup ON dbo.Emr_BingLiPingFen (ZhuYuanNo);
CREATE TABLE dbo.Emr_DocStruct (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_DocStruct_Lookup ON dbo.Emr_DocStruct (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_TiWen (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_Doc_TiWen_Lookup ON dbo.Emr_Doc_TiWen (ZhuYuanNo);
CREATE TABLE dbo.Emr_BingLiJianKong (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_BingLiJianKong_Lookup ON dbo.Emr_BingLiJianKong (ZhuYuanNo);
CREATE TABLE dbo.EMR_CHAKANBINGLIAPPLY_Fb (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX EMR_CHAKANBINGLIAPPLY_Fb_Lookup ON dbo.EMR_CHAKANBINGLIAPPLY_Fb (ZhuYuanNo);
CREATE TABLE dbo.Emr_SimpleClient_Change (
  ZhuYuanNo varchar(255) NULL
);
CREATE INDEX Emr_SimpleClient_Change_Lookup ON dbo.Emr_SimpleClient_Change (ZhuYuanNo);
INSERT INTO dbo.EMR_FORMATDATETYPE (ID, UserDefault) VALUES (1, 1);
INSERT INTO dbo.EMR_FORMATDATE (FormatDateTypeID, UserDefault, FormatDateTime_Show, FormatDateTime_Input) VALUES (1, 1, 'yyyy-MM-dd HH:mm', 'yyyy-MM-dd HH:mm');
COMMIT TRANSACTION;
