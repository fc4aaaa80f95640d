-- Creates the tables the library reads and writes in an empty KLINODB catalog, for trials on
-- SQL Server. Run it as it is in KLINODB (sqlcmd -d KLINODB -i sqlserver.sql).
-- The same tables as the embedded trial database; a test checks both against the names the
-- library uses.
SET NOCOUNT ON;
GO

CREATE TABLE dbo.Emr_Unit (
  ID int NOT NULL,
  UnitTypeID int NULL,
  UnitName varchar(255) NULL,
  Memo varchar(4000) NULL,
  CONSTRAINT PK_Emr_Unit PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_User (
  UserID varchar(255) NOT NULL,
  Pwd varchar(255) NULL,
  UserName varchar(255) NULL,
  UnitID int NULL,
  TempType int NULL,
  ZhiCheng varchar(255) NULL,
  CONSTRAINT PK_Emr_User PRIMARY KEY (UserID)
);
GO

CREATE TABLE dbo.Emr_illArea (
  UnitID int NULL,
  ID int NOT NULL,
  iaName varchar(255) NULL,
  CONSTRAINT PK_Emr_illArea PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_IllBed (
  UnitID int NULL,
  illAreaID int NULL,
  ID int NOT NULL,
  ibName varchar(255) NULL,
  CONSTRAINT PK_Emr_IllBed PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_ZhiYe (
  ID int NOT NULL,
  theOrder int NULL,
  ZhiYe varchar(255) NULL,
  CONSTRAINT PK_Emr_ZhiYe PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_HunYin (
  ID int NOT NULL,
  theOrder int NULL,
  HunYin varchar(255) NULL,
  CONSTRAINT PK_Emr_HunYin PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_InHospType (
  ID int NOT NULL,
  theOrder int NULL,
  InHospType varchar(255) NULL,
  CONSTRAINT PK_Emr_InHospType PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_YiBaoLeiXing (
  ID int NOT NULL,
  theOrder int NULL,
  YiBaoLeiXing varchar(255) NULL,
  CONSTRAINT PK_Emr_YiBaoLeiXing PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_CertificateType (
  ID int NOT NULL,
  theOrder int NULL,
  CertificateType varchar(255) NULL,
  CONSTRAINT PK_Emr_CertificateType PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.Emr_YiShengZhiCheng (
  ZhiCheng varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_BingQingMiaoShu (
  BingQingMiaoShu varchar(4000) NULL
);
GO

CREATE TABLE dbo.EMR_FORMATDATETYPE (
  ID int NOT NULL,
  UserDefault int NULL,
  CONSTRAINT PK_EMR_FORMATDATETYPE PRIMARY KEY (ID)
);
GO

CREATE TABLE dbo.EMR_FORMATDATE (
  FormatDateTypeID int NULL,
  UserDefault int NULL,
  FormatDateTime_Show varchar(255) NULL,
  FormatDateTime_Input varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_Doc_Emr_InfoList (
  ZhuYuanNo varchar(255) NOT NULL,
  PeopleName varchar(255) NULL,
  BingAnHao varchar(255) NULL,
  CertificateType varchar(255) NULL,
  CertificateCode varchar(255) NULL,
  GuiDangND int NULL DEFAULT 0,
  CONSTRAINT PK_Emr_Doc_Emr_InfoList PRIMARY KEY (ZhuYuanNo)
);
GO

CREATE TABLE dbo.Emr_Doc_Emr_Info (
  ZhuYuanNo varchar(255) NOT NULL,
  PeopleName varchar(255) NULL,
  UnitName varchar(255) NULL,
  MainMgrDoctorUid varchar(255) NULL,
  MainMgrDoctorName varchar(255) NULL,
  HelperUidList varchar(4000) NULL,
  HelperNameList varchar(4000) NULL,
  Danwei varchar(4000) NULL,
  ZhiYe varchar(255) NULL,
  Sex varchar(255) NULL,
  MinZu varchar(255) NULL,
  Address varchar(4000) NULL,
  HunYin varchar(255) NULL,
  JiGuan varchar(255) NULL,
  PostCode varchar(255) NULL,
  YiBaoLeiXing varchar(255) NULL,
  BingAnHao varchar(255) NULL,
  MenZhenNo varchar(255) NULL,
  BingQu varchar(255) NULL,
  ChuangHao varchar(255) NULL,
  BingShiSayer varchar(255) NULL,
  KeKaoChengDu varchar(255) NULL,
  ZhuYuanLeiBie varchar(255) NULL,
  RuYuanShiBingQing varchar(4000) NULL,
  FaBingJieQi varchar(255) NULL,
  CertificateType varchar(255) NULL,
  CertificateCode varchar(255) NULL,
  ZhuZhiYiShengUID varchar(255) NULL,
  ZhuZhiYiShengName varchar(255) NULL,
  RuYuanZhenDuan varchar(4000) NULL,
  LianXiRenXingMing varchar(255) NULL,
  GuanXi varchar(255) NULL,
  LianXiRenDianHua varchar(255) NULL,
  LianXiRenZhuZhi varchar(4000) NULL,
  LianXiRenYouBian varchar(255) NULL,
  Memo varchar(4000) NULL,
  UnitID int NULL,
  NianLing_Sui int NULL,
  NianLing_Yue int NULL,
  NianLing_Tian int NULL,
  RuYuanCount int NULL,
  F_Age float NULL,
  RuYuanDate datetime NULL,
  BingShiCaiJiDate datetime NULL,
  RuYuanDate_Str varchar(255) NULL,
  RuYuanDate_InputMode varchar(255) NULL,
  BingShiCaiJiDate_Str varchar(255) NULL,
  BingShiCaiJiDate_InputMode varchar(255) NULL,
  PeopleEmrStateID int NULL,
  TagReciveUnitID int NULL,
  TagReciveDoctorUid varchar(255) NULL,
  ChuYuanDate datetime NULL,
  ChuYuanZhenDuan varchar(4000) NULL,
  ZhiLiaoChuLi varchar(4000) NULL,
  ZhiLiaoJieGuo varchar(4000) NULL,
  ShangKouYuHe varchar(255) NULL,
  CONSTRAINT PK_Emr_Doc_Emr_Info PRIMARY KEY (ZhuYuanNo)
);
GO

CREATE TABLE dbo.Emr_Doc_Emr_Event (
  ZhuYuanNo varchar(255) NULL,
  SequenceNumber int NULL,
  EventCode varchar(255) NULL,
  EventDate datetime NULL,
  Memo varchar(4000) NULL
);
CREATE INDEX Emr_Doc_Emr_Event_Lookup ON dbo.Emr_Doc_Emr_Event (ZhuYuanNo, SequenceNumber);
GO

CREATE TABLE dbo.Emr_Doc_Emr_StateInfo (
  ZhuYuanNo varchar(255) NULL,
  SequenceNumber int NULL,
  BingQingMiaoShu varchar(4000) NULL,
  BeginDate datetime NULL,
  Memo varchar(4000) NULL
);
GO

CREATE TABLE dbo.Emr_Doc_Emr (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_Doc_Emr_FB (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_Doc_FuJian (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_BingLiPingFen (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_DocStruct (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_Doc_TiWen (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_BingLiJianKong (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.EMR_CHAKANBINGLIAPPLY_Fb (
  ZhuYuanNo varchar(255) NULL
);
GO

CREATE TABLE dbo.Emr_SimpleClient_Change (
  ZhuYuanNo varchar(255) NULL
);
GO

-- One default date format, so that admission works.
INSERT INTO dbo.EMR_FORMATDATETYPE (ID, UserDefault) VALUES (1, 1);
INSERT INTO dbo.EMR_FORMATDATE (FormatDateTypeID, UserDefault, FormatDateTime_Show, FormatDateTime_Input)
  VALUES (1, 1, 'yyyy-MM-dd HH:mm', 'yyyy-MM-dd HH:mm');
GO
