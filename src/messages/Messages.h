#pragma once
// The message table: every text the user sees, in the current language.
//
// Each use point names its entry by role through TMsgId; the numeric order is
// fixed and the same in every language. The comment after an identifier lists
// the values its use point formats into it (through FormatMsg), in order.

#include <QString>
#include <QVariant>
#include <array>
#include <initializer_list>

enum TMsgId : int {
    // Folder dialog picking a destination folder
    msgDirChooseOKHint = 0,
    msgDirChooseCancelHint = 1,
    // Batch: a file that failed, and how many failed in the run
    msgFileFailed = 2,  // %s path, %s reason
    msgFilesFailed = 3, // %d number of files
    msgListEmpty = 4,
    msgSourceUnusable = 5, // %s source path
    msgBitRateItem = 6,    // %d kbit/s
    // Start-up encoder check
    msgLameMissingQuestion = 7, // %s encoder path, %s program name
    msgLameWrongFile = 8,       // %s chosen file, %s expected name
    // Source list
    msgUnsupportedFile = 9, // %s path
    msgNotPcmWav = 10,      // %s path
    msgEncodingFile = 11,   // %s displayed source path
    msgOutputSize = 12,     // %d KiB
    msgBitRateCBR = 13,     // %d kbit/s
    msgBitRateVBR = 14,     // %d kbit/s
    msgBitRateWAV = 15,     // %d kbit/s
    // Main window
    msgColFile = 16,
    msgColBitRate = 17,
    msgColSize = 18,
    msgColEstimate = 19,
    msgGoStart = 20,
    msgGoStop = 21,
    msgBtnOptions = 22,
    msgBtnAddDir = 23,
    msgBtnAddFiles = 24,
    msgBtnRemoveFiles = 25,
    msgBtnClearList = 26,
    msgLblCurrFile = 27,
    msgLblTotal = 28,
    msgCopyingFile = 29, // %s displayed source path
    msgStopEncodingQuestion = 30,
    msgStopScanQuestion = 31,
    msgSaveSettingsQuestion = 32,
    msgRunFinished = 33,
    msgRunFinishedSkipped = 34,
    msgRunStopped = 35,
    msgNothingSelected = 36,
    msgNoFileForProperties = 37,
    msgDirRecursionWarning = 38,
    msgAllFoldersUnwritable = 39,
    msgDestDirUnwritable = 40,
    msgLegTime = 41,
    msgTimeDisplay = 42, // %d %d %d remaining h, min, s; %d %d %d total h, min, s
    msgTimePlaceholder = 43,
    msgShutDownCaption = 44,
    msgOptTimer = 45,
    msgOpenFilesTitle = 46,
    msgOpenFilesFilter = 47,
    msgOpenLameTitle = 48,
    msgOpenLameFilter = 49,
    msgItemProperties = 50,
    msgItemRemove = 51,
    msgAutoUpdateQuestion = 52,
    // Update check and download
    msgUpdateCheckFailed = 53, // %s error message
    msgStopAutoUpdateQuestion = 54,
    msgNewVersionOffer = 55, // %s version text, %s comment
    msgNoNewVersion = 56,
    msgUpdateSaveFilter = 57, // %s application title, %s file name
    msgDownloading = 58,
    msgDownloadFailed = 59,   // %s error message
    msgDownloadFinished = 60, // %s file name
    // State texts, RunState 0..7
    msgStateIdle = 61,
    msgStateOptions = 62,
    msgStateBatch = 63,
    msgStateFolderScan = 64,
    msgStateStopRequested = 65,
    msgStateAddingFiles = 66,
    msgStateUpdateCheck = 67,
    msgStatePowerOff = 68,
    // Folder scan status, status-bar totals
    msgScanListing = 69,   // %s folder
    msgScanAnalysing = 70, // %s folder
    msgTotalSize = 71,     // %s MiB
    msgEstimatedSize = 72, // %s MiB
    // Main window hints
    msgHintListView = 73,
    msgHintBitrate = 74,
    msgHintCBR = 75,
    msgHintABR = 76,
    msgHintOptions = 77,
    msgHintGO = 78,
    msgHintAddDir = 79,
    msgHintAddFiles = 80,
    msgHintRemoveFiles = 81,
    msgHintClearList = 82,
    msgHintProgFile = 83,
    msgHintProgTotal = 84,
    msgHintMemoInfo = 85,
    msgHintLed = 86,
    msgHintStatusBar = 87,
    msgHintTime = 88,
    msgHintShutDown = 89,
    // Options dialog
    msgOptTitle = 90, // %s application title
    msgOptPageGeneral = 91,
    msgOptPageEncoder = 92,
    msgOptPageHelp = 93,
    msgOptPageAbout = 94,
    msgCaptionOK = 95, // also the OK buttons of the other dialogs
    msgCaptionCancel = 96,
    msgOptOKHint = 97,
    msgOptCancelHint = 98,
    msgOptJobs = 99,
    msgOptGroupInterface = 100,
    msgOptLanguage = 101,
    msgOptLanguageHint = 102,
    msgOptShortPath = 103,
    msgOptShortPathHint = 104,
    msgOptConfirmSave = 105,
    msgOptConfirmSaveHint = 106,
    msgOptAutoUpdate = 107,
    msgOptAutoUpdateHint = 108,
    msgOptCheckNow = 109,
    msgOptCheckNowHint = 110,
    msgOptTimerHint = 111,
    msgOptTimerMinutes = 112,
    msgOptSpinTimerHint = 113,
    msgOptGroupOutput = 114,
    msgOptSameDir = 115, // %s example suffix
    msgOptSameDirHint = 116,
    msgOptDefDir = 117,
    msgOptDefDirHint = 118,
    msgOptEditDefDirHint = 119,
    msgOptBtnDefDirHint = 120,
    msgOptKeepSubDirs = 121,
    msgOptKeepSubDirsHint = 122,
    msgOptKeepTime = 123,
    msgOptKeepTimeHint = 124,
    msgOptGroupMp3 = 125,
    msgOptKeepTagV2 = 126,
    msgOptKeepTagV2Hint = 127,
    msgOptCompactTag = 128,
    msgOptCompactTagHint = 129,
    msgOptKeepTagV1 = 130,
    msgOptKeepTagV1Hint = 131,
    msgOptBRHigher = 132,
    msgOptBRHigherHint = 133,
    msgOptCopyData = 134,
    msgOptCopyDataHint = 135,
    msgOptGroupEncoder = 136,
    msgOptLamePathHint = 137,
    msgOptBtnLamePathHint = 138,
    msgOptQuality = 139,
    msgOptQualityHint = 140,
    msgOptPriority = 141,
    msgOptPriorityHint = 142,
    msgOptGroupParams = 143,
    msgModeCBR = 144, // also the caption of the main window's rbCBR
    msgModeABR = 145, // also the caption of the main window's rbABR
    msgOptParamsHint = 146,
    msgOptNoB = 147,
    msgOptNoBHint = 148,
    msgOptNoQ = 149,
    msgOptNoQHint = 150,
    msgQuality0 = 151, // msgQuality0 + level, levels 0..9
    msgQuality9 = 160,
    msgPriority0 = 161, // msgPriority0 + level, levels 0..4
    msgPriority4 = 165,
    msgOptLameHelpHint = 166,
    msgOptCmdLineHint = 167,
    msgLameHelpTitle = 168,
    msgCmdLineInput = 169,
    msgCmdLineOutput = 170,
    msgOptHelpText = 171,
    msgOptInvalidFolder = 172, // %s path
    msgOptCreateFolder = 173,  // %s path
    msgOptCannotCreate = 174,  // %s path
    msgOptNotWritable = 175,   // %s path
    msgOptVersion = 176,       // %s version text
    msgOptSubTitle = 177,
    msgOptLameBy = 178,
    msgOptLameSiteHint = 179, // %s "LAME", %s scheme prefix, %s site name
    msgWebSiteHint = 180,     // also the main window's logo and web-site label
    msgOptConnectedBy = 181,
    msgOptConnectedHint = 182,
    msgOptCompressedBy = 183,
    msgOptCompressedHint = 184,
    // Properties dialog
    msgPropsTitle = 185,
    msgPropsClose = 186,
    msgPropsPageGeneral = 187,
    msgPropsPageID3v2 = 188,
    msgPropsGroupGeneral = 189,
    msgPropsGroupID3v1 = 190,
    msgPropsGroupUsualFrames = 191,
    msgPropsGroupAllFrames = 192,
    msgPropsColFrameId = 193,
    msgPropsColOffset = 194,
    msgDirBitRateItem = 195, // %d kbit/s (folder dialog's minimum bit rate list)
    msgPropsColSize = 196,
    msgPropsFormatName = 197, // %s version name, %s layer name
    msgPropsProperties = 198, // %s format text, %s bit-rate text, %d Hz, %d h, %d min, %d s
    msgPropsNoTagV1 = 199,
    msgPropsNoTagV2 = 200,
    msgPropsTagV2Header = 201,   // %d major version, %d tag size
    msgPropsFrameCount = 202,    // %d frames, %d empty entries
    msgPropsDumpTruncated = 203, // %d bytes
    msgOptJobsHint = 204,        // options dialog, beside the encoder settings
    msgPropsV1Title = 205,
    msgPropsV1Artist = 206,
    msgPropsV1Album = 207,
    msgPropsV1Year = 208,
    msgPropsV1Comment = 209,
    msgPropsV1Genre = 210,
    msgPropsV1Track = 211,
    msgFrameTitle = 212,
    msgFrameArtist = 213,
    msgFrameAlbum = 214,
    msgFrameYear = 215,
    msgFrameComment = 216,
    msgFrameGenre = 217,
    msgFrameEncodedBy = 218,
    msgFrameOriginalArtist = 219,
    msgFrameComposer = 220,
    msgFrameCopyright = 221,
    msgFrameTrack = 222,
    msgFrameAudioFileUrl = 223,
    msgSpare224 = 224,
    msgFrameArtistUrl = 225,
    msgFrameCommercialUrl = 226,
    msgFrameLyrics = 227,
    msgPropsFrameListHint = 228,
    msgPropsDumpHint = 229,
    // Folder dialog
    msgDirTitleChoose = 230,
    msgDirTitleFilter = 231,
    msgDirDropExplanation = 232,
    msgDirSelectFirst = 233,
    msgDirNewFolderName = 234,
    msgDirNewFolder = 235,
    msgDirNewFolderHint = 236,
    msgDirOK = 237,
    msgDirCancel = 238,
    msgDirScanOKHint = 239,
    msgDirScanCancelHint = 240,
    msgDirFilterGroup = 241,
    msgDirMP3 = 242,
    msgDirCBR = 243,
    msgDirVBR = 244,
    msgDirBRM = 245,
    msgDirSZM = 246,
    msgDirWAV = 247,
    msgDirMP2 = 248,
    msgDirMP1 = 249,
    msgDirRec = 250,
    msgDirBRMHint = 251,
    msgDirSZMHint = 252,
    msgDirCBRHint = 253,
    msgDirVBRHint = 254,
    msgDirRecHint = 255,
    msgDirTreeHint = 256,
    // Pre-run warning
    msgWarnCaption = 257,
    msgWarnUnwritable = 258,
    msgWarnLowerBitRate = 259,
    msgWarnGroup = 260,
    msgWarnAbort = 261,
    msgWarnGoodFiles = 262,
    msgWarnAllFiles = 263,
    msgWarnValidate = 264,
    msgWarnAbortHint = 265,
    msgWarnGoodFilesHint = 266,
    msgWarnAllFilesHint = 267,
    msgWarnValidateHint = 268,
    msgWarnListHint = 269,
    // Countdowns: power-off (mode 0) and delayed start (mode 1)
    msgCountdownTitle = 270,
    msgPowerOffLine1 = 271,
    msgPowerOffLine2 = 272,
    msgCountdownOKHint = 273, // both modes
    msgPowerOffCancelHint = 274,
    msgPowerOffCountdown = 275, // %d seconds left
    msgPowerOffFailed = 276,    // %d error code, %s error text
    msgDelayedLine1 = 277,
    msgDelayedLine2 = 278,
    msgDelayedCancelHint = 279,
    msgDelayedCountdown = 280, // %d h, %d min, %d s
    msgCmdLineNiceness = 281, // %d niceness
    msgDirRename = 282,
    msgDirRenameHint = 283,
    msgDirPathHint = 284,
    msgDirNoSuchFolder = 285, // %s path
    msgRowLeftOutHint = 286,   // %s output folder
    msgDelayedStartNow = 287,
    msgFolderFilesBelow = 288, // %s folder
    msgBadFilesSummary = 289,
    // The run's feedback: row status, end-of-run summary and notification
    msgColStatus = 290,
    msgRowWaiting = 291,
    msgRowEncoding = 292,
    msgRowDone = 293, // %s output size
    msgRowSkipped = 294,
    msgRowFailed = 295,
    msgRowStopped = 296,
    msgOpenOutputFolder = 297,
    msgRemoveFinished = 298,
    msgDropHint = 299,
    msgRunSummary = 300,   // %d done, %d skipped, %d failed, %s duration
    msgSizeKB = 301,       // %s number
    msgSizeMB = 302,       // %s number
    msgSizeGB = 303,       // %s number
    msgDurationS = 304,
    msgDurationMinS = 305,
    msgDurationHMin = 306,
    msgNotifyFinished = 307,
    msgNotifyFailed = 308,
    msgNotifyStopped = 309,
    // Running again over a library, and replacing the sources
    msgOptSkipDone = 310,
    msgOptSkipDoneHint = 311,
    msgOptReplace = 312,
    msgOptReplaceHint = 313,
    msgOptReplaceBeside = 314,
    msgReplaceQuestion = 315, // %d files, %s size
    msgSourceNote = 316,      // %s path, %s what happened
    // Errors of the file readers and lists, shown where they are caught (TErrorId order)
    msgErrFileOpen = 317, // %s full path
    msgErrRead = 318,
    msgErrWrite = 319,
    msgSpare320 = 320,
    msgSpare321 = 321,
    msgSpare322 = 322,
    msgErrNotAnInteger = 323, // %s text
    msgErrRename = 324,       // %s target path, %s system error text
    // Why a file was skipped or failed (TReason order)
    msgReasonUnsupportedFile = 325,
    msgReasonEmptyFile = 326,
    msgReasonNotPcm = 327,
    msgReasonNotRegularFile = 328,
    msgReasonPermissionDenied = 329,
    msgReasonFileVanished = 330,
    msgReasonFileNotFound = 331,
    msgReasonNameNotUtf8 = 332,
    msgReasonOutputNotWritable = 333,
    msgReasonBelowTargetBitRate = 334,
    msgReasonEncoderNotStarted = 335,
    msgReasonEncoderCrashed = 336,
    msgReasonEncoderExitCode = 337, // %d exit code
    msgReasonEncoderNoOutput = 338,
    msgReasonCannotCreateFolder = 339, // %s folder
    msgReasonCopyFailed = 340,
    msgReasonTagsFailed = 341,
    msgReasonFileError = 342,
    msgReasonOutputShort = 343, // %s seconds in the output, %s seconds in the source
    // Lines around the reasons
    msgReasonWithDetail = 344, // %s reason, %s detail
    msgSkippedLine = 345,      // %s path, %s reason
    msgEncodingAgain = 346,    // %s path, %s reason, %s decoder
    // Hex dump of the properties window
    msgDumpFileNotFound = 347,
    msgDumpReadError = 348,
    // A decoder or encoder of a decoding pipe that failed
    msgProcessCrashed = 349,      // %s program name
    msgProcessExitCode = 350,     // %s program name, %d exit code
    msgDownloadLinkRefused = 351, // %s file name (a download never writes through a link)
    msgRunCountsLine = 352, // %d encoded, copied, skipped, failed; %d %d %d elapsed h, min, s
    msgReasonAlreadyConverted = 353,
    msgReasonNotSmaller = 354,
    msgReasonTrashFailed = 355,
    msgErrSystem = 356, // %s path, %s system error text
    // The sizes a run saved, and the fate of outputs
    msgSavedSizes = 357,       // %s saved, %s of the sources, %d percent
    msgGrownSizes = 358,       // %s added, %s of the sources, %d percent
    msgOutputDiscarded = 359,  // the output-size line of an output that was deleted
    msgNoteEncodedAgain = 360, // %s decoder, %s why the first output was short
    // Texts of the settings store, the update check and the terminal program
    msgRegKeysUndefined = 361, // %s store name
    msgUpdateNotHttps = 362, // %s address
    msgCliUsage = 363, // %s command names
    msgCliError = 364, // %s what went wrong
    msgCliUnknownCommand = 365, // %s name
    msgCliUnknownOption = 366, // %s command, %s option
    msgCliHelpUsage = 367, // %s command, %s path syntax
    msgCliListUnreadable = 368, // %s list, %s system error text
    msgCliSettingsNotFound = 369, // %s file
    msgCliSettingsUnreadable = 370, // %s file
    msgCliNoPathWanted = 371, // %s command, %s first path
    msgCliNoEncoderNamed = 372, // %s encoder file name
    msgCliEncoderNotFound = 373, // %s path
    msgCliNotStartedAbort = 374,
    msgCliNotStartedAnswer = 375,
    msgCliNotInRange = 376, // %s option, %s value, %d lowest, %d highest
    msgCliNotOneOf = 377, // %s option, %s value, %s the values allowed
    msgCliNotCbrAbr = 378, // %s option, %s value
    msgCliNotOnWarning = 379, // %s value
    msgCliNotLanguage = 380, // %s value
    msgCliNotShard = 381, // %s value
    msgCliNeedsPathOrList = 382, // %s command
    msgCliNeedsPath = 383, // %s command
    msgCliNoSuchPath = 384, // %s path
    // The terminal program's help
    msgCliAboutEncoder = 385,
    msgCliAboutInfo = 386,
    msgCliAboutPlan = 387,
    msgCliAboutRun = 388,
    msgCliOptUnused = 389,
    msgCliOptFilesToAnalyse = 390,
    msgCliOptFilesAndFolders = 391,
    msgCliOptSettings = 392,
    msgCliOptEncoder = 393,
    msgCliOptBitRate = 394, // %s the bit rates
    msgCliOptMode = 395,
    msgCliOptDest = 396,
    msgCliOptKeepSubdirs = 397,
    msgCliOptQuality = 398,
    msgCliOptPriority = 399,
    msgCliOptParams = 400,
    msgCliOptSkipDone = 401,
    msgCliOptOff = 402,
    msgCliOptReplace = 403,
    msgCliOptWalk = 404,
    msgCliOptCopyData = 405,
    msgCliOptKeepV1 = 406,
    msgCliOptKeepV2 = 407,
    msgCliOptCompact = 408,
    msgCliOptKeepTime = 409,
    msgCliOptJobs = 410, // %d most encoders
    msgCliOptRecursive = 411,
    msgCliOptOnWarning = 412,
    msgCliOptLang = 413,
    msgCliOptJson = 414,
    msgCliOptFilesFrom = 415,
    msgCliOptNull = 416,
    msgCliOptShard = 417,
    msgErrBadArgument = 418, // %s routine, %s the condition broken (TErrorId::BadArgument)
};

inline constexpr int MessageCount = 419;
static_assert(msgErrBadArgument == MessageCount - 1);

// The spares, never shown; empty in every language.
inline constexpr std::array<TMsgId, 4> SpareMessages = {msgSpare224, msgSpare320, msgSpare321,
                                                        msgSpare322};

// Filled by SetLanguage, emptied by FreeMessages; everything else only reads.
extern std::array<QString, MessageCount> MessageTable;
// Copies of the state texts msgStateIdle..msgStatePowerOff, by RunState value.
extern std::array<QString, 8> StateTexts;

inline const QString& Msg(TMsgId id) {
    return MessageTable[id];
}
// The entry filled with the given values (FormatMsg).
QString MsgFmt(TMsgId id, std::initializer_list<QVariant> args);
