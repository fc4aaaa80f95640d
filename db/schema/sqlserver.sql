-- The tables that WardLink reads and writes, for a trial in an empty SQL Server catalog
-- KLINODB: run this script in that catalog. Generated from db/schema.h; a test keeps it
-- equal to the generator. Names resolve without regard to case under the server's
-- default case-insensitive collation, as the library's statements need.
SET XACT_ABORT ON;
BEGIN TRANSACTION;
CREATE TABLE dbo.Emr_Unit (
  ID int NOT NULL,
  UnitTypeID int NULL,
  UnitName nvarchar(4000) NULL,
  Memo nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_Unit UNIQUE (ID)
);
CREATE TABLE dbo.Emr_User (
  UserID nvarchar(255) NOT NULL,
  Pwd nvarchar(4000) NULL,
  UserName nvarchar(4000) NULL,
  UnitID int NULL,
  TempType int NULL,
  ZhiCheng nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_User UNIQUE (UserID)
);
CREATE INDEX Emr_User_Lookup ON dbo.Emr_User (UnitID);
CREATE TABLE dbo.Emr_illArea (
  UnitID int NULL,
  ID int NOT NULL,
  iaName nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_illArea UNIQUE (ID)
);
CREATE INDEX Emr_illArea_Lookup ON dbo.Emr_illArea (UnitID);
CREATE TABLE dbo.Emr_IllBed (
  UnitID int NULL,
  illAreaID int NULL,
  ID int NOT NULL,
  ibName nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_IllBed UNIQUE (ID)
);
CREATE TABLE dbo.Emr_ZhiYe (
  ID int NOT NULL,
  theOrder int NULL,
  ZhiYe nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_ZhiYe UNIQUE (ID)
);
CREATE TABLE dbo.Emr_HunYin (
  ID int NOT NULL,
  theOrder int NULL,
  HunYin nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_HunYin UNIQUE (ID)
);
CREATE TABLE dbo.Emr_InHospType (
  ID int NOT NULL,
  theOrder int NULL,
  InHospType nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_InHospType UNIQUE (ID)
);
CREATE TABLE dbo.Emr_YiBaoLeiXing (
  ID int NOT NULL,
  theOrder int NULL,
  YiBaoLeiXing nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_YiBaoLeiXing UNIQUE (ID)
);
CREATE TABLE dbo.Emr_CertificateType (
  ID int NOT NULL,
  theOrder int NULL,
  CertificateType nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_CertificateType UNIQUE (ID)
);
CREATE TABLE dbo.Emr_YiShengZhiCheng (
  ZhiCheng nvarchar(4000) NULL
);
CREATE TABLE dbo.Emr_BingQingMiaoShu (
  BingQingMiaoShu nvarchar(4000) NULL
);
CREATE TABLE dbo.EMR_FORMATDATETYPE (
  ID int NOT NULL,
  UserDefault int NULL,
  CONSTRAINT UQ_EMR_FORMATDATETYPE UNIQUE (ID)
);
CREATE TABLE dbo.EMR_FORMATDATE (
  FormatDateTypeID int NULL,
  UserDefault int NULL,
  FormatDateTime_Show nvarchar(4000) NULL,
  FormatDateTime_Input nvarchar(4000) NULL
);
CREATE TABLE dbo.Emr_Doc_Emr_InfoList (
  ZhuYuanNo nvarchar(255) NOT NULL,
  PeopleName nvarchar(4000) NULL,
  BingAnHao nvarchar(4000) NULL,
  CertificateType nvarchar(4000) NULL,
  CertificateCode nvarchar(4000) NULL,
  GuiDangND int NULL CONSTRAINT DF_Emr_Doc_Emr_InfoList_GuiDangND DEFAULT 0,
  CONSTRAINT UQ_Emr_Doc_Emr_InfoList UNIQUE (ZhuYuanNo)
);
CREATE TABLE dbo.Emr_Doc_Emr_Info (
  ZhuYuanNo nvarchar(255) NOT NULL,
  PeopleName nvarchar(4000) NULL,
  UnitName nvarchar(4000) NULL,
  MainMgrDoctorUid nvarchar(4000) NULL,
  MainMgrDoctorName nvarchar(4000) NULL,
  HelperUidList nvarchar(4000) NULL,
  HelperNameList nvarchar(4000) NULL,
  Danwei nvarchar(4000) NULL,
  ZhiYe nvarchar(4000) NULL,
  Sex nvarchar(4000) NULL,
  MinZu nvarchar(4000) NULL,
  Address nvarchar(4000) NULL,
  HunYin nvarchar(4000) NULL,
  JiGuan nvarchar(4000) NULL,
  PostCode nvarchar(4000) NULL,
  YiBaoLeiXing nvarchar(4000) NULL,
  BingAnHao nvarchar(4000) NULL,
  MenZhenNo nvarchar(4000) NULL,
  BingQu nvarchar(4000) NULL,
  ChuangHao nvarchar(4000) NULL,
  BingShiSayer nvarchar(4000) NULL,
  KeKaoChengDu nvarchar(4000) NULL,
  ZhuYuanLeiBie nvarchar(4000) NULL,
  RuYuanShiBingQing nvarchar(4000) NULL,
  FaBingJieQi nvarchar(4000) NULL,
  CertificateType nvarchar(4000) NULL,
  CertificateCode nvarchar(4000) NULL,
  ZhuZhiYiShengUID nvarchar(4000) NULL,
  ZhuZhiYiShengName nvarchar(4000) NULL,
  RuYuanZhenDuan nvarchar(4000) NULL,
  LianXiRenXingMing nvarchar(4000) NULL,
  GuanXi nvarchar(4000) NULL,
  LianXiRenDianHua nvarchar(4000) NULL,
  LianXiRenZhuZhi nvarchar(4000) NULL,
  LianXiRenYouBian nvarchar(4000) NULL,
  Memo nvarchar(4000) NULL,
  UnitID int NULL,
  NianLing_Sui int NULL,
  NianLing_Yue int NULL,
  NianLing_Tian int NULL,
  RuYuanCount int NULL,
  F_Age float NULL,
  RuYuanDate datetime2(3) NULL,
  BingShiCaiJiDate datetime2(3) NULL,
  RuYuanDate_Str nvarchar(4000) NULL,
  RuYuanDate_InputMode nvarchar(4000) NULL,
  BingShiCaiJiDate_Str nvarchar(4000) NULL,
  BingShiCaiJiDate_InputMode nvarchar(4000) NULL,
  PeopleEmrStateID int NULL,
  TagReciveUnitID int NULL,
  TagReciveDoctorUid nvarchar(4000) NULL,
  ChuYuanDate datetime2(3) NULL,
  ChuYuanZhenDuan nvarchar(4000) NULL,
  ZhiLiaoChuLi nvarchar(4000) NULL,
  ZhiLiaoJieGuo nvarchar(4000) NULL,
  ShangKouYuHe nvarchar(4000) NULL,
  CONSTRAINT UQ_Emr_Doc_Emr_Info UNIQUE (ZhuYuanNo)
);
CREATE INDEX Emr_Doc_Emr_Info_Lookup ON dbo.Emr_Doc_Emr_Info (UnitID);
CREATE TABLE dbo.Emr_Doc_Emr_Event (
  ZhuYuanNo nvarchar(255) NULL,
  SequenceNumber int NULL,
  EventCode nvarchar(4000) NULL,
  EventDate datetime2(3) NULL,
  Memo nvarchar(4000) NULL
);
CREATE UNIQUE INDEX Emr_Doc_Emr_Event_Lookup ON dbo.Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber);
CREATE TABLE dbo.Emr_Doc_Emr_StateInfo (
  ZhuYuanNo nvarchar(255) NULL,
  SequenceNumber int NULL,
  BingQingMiaoShu nvarchar(4000) NULL,
  BeginDate datetime2(3) NULL,
  Memo nvarchar(4000) NULL
);
CREATE INDEX Emr_Doc_Emr_StateInfo_Lookup ON dbo.Emr_Doc_Emr_StateInfo (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_Emr (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_Doc_Emr_Lookup ON dbo.Emr_Doc_Emr (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_Emr_FB (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_Doc_Emr_FB_Lookup ON dbo.Emr_Doc_Emr_FB (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_FuJian (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_Doc_FuJian_Lookup ON dbo.Emr_Doc_FuJian (ZhuYuanNo);
CREATE TABLE dbo.Emr_BingLiPingFen (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_BingLiPingFen_Lookup ON dbo.Emr_BingLiPingFen (ZhuYuanNo);
CREATE TABLE dbo.Emr_DocStruct (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_DocStruct_Lookup ON dbo.Emr_DocStruct (ZhuYuanNo);
CREATE TABLE dbo.Emr_Doc_TiWen (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_Doc_TiWen_Lookup ON dbo.Emr_Doc_TiWen (ZhuYuanNo);
CREATE TABLE dbo.Emr_BingLiJianKong (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_BingLiJianKong_Lookup ON dbo.Emr_BingLiJianKong (ZhuYuanNo);
CREATE TABLE dbo.EMR_CHAKANBINGLIAPPLY_Fb (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX EMR_CHAKANBINGLIAPPLY_Fb_Lookup ON dbo.EMR_CHAKANBINGLIAPPLY_Fb (ZhuYuanNo);
CREATE TABLE dbo.Emr_SimpleClient_Change (
  ZhuYuanNo nvarchar(255) NULL
);
CREATE INDEX Emr_SimpleClient_Change_Lookup ON dbo.Emr_SimpleClient_Change (ZhuYuanNo);
INSERT INTO dbo.EMR_FORMATDATETYPE (ID, UserDefault) VALUES (1, 1);
INSERT INTO dbo.EMR_FORMATDATE (FormatDateTypeID, UserDefault, FormatDateTime_Show, FormatDateTime_Input) VALUES (1, 1, N'yyyy-MM-dd HH:mm', N'yyyy-MM-dd HH:mm');
COMMIT TRANSACTION;
