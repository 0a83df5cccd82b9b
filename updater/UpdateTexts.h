// The updater's texts: status lines, messages and captions.
#pragma once

namespace texts {

// Files beside the program and in the temporary folder.
constexpr const char kConfigFile[] = "UpdateConfig.ini";
constexpr const char kListFile[] = "UpdateList.ini";
// The window property that marks a running updater, and its value.
constexpr const char kRunningProperty[] = "prop";

// Status lines.
constexpr const char kChecking[] = "正在检查新版本，请等待...";
constexpr const char kUpToDate[] = "您现在用的版本已是最新的！";
constexpr const char kListMissing[] = "获取升级列表文件失败，文件不存在！";
constexpr const char kListStatusPrefix[] = "获取升级列表文件失败！错误码：";
constexpr const char kFoundPrefix[] = "发现新的版本：";
constexpr const char kFoundSuffix[] = " 正在下载...";
constexpr const char kDownloadingPrefix[] = "正在下载文件：";
constexpr const char kDownloadingSuffix[] = "...";
constexpr const char kDownloadStatusPrefix[] = "下载升级列表文件失败！错误码：";
constexpr const char kRetrying[] = "文件校验错误,重新下载...";
constexpr const char kVerifyFailed[] = "文件校验错误,更新失败...";
constexpr const char kInstalling[] = "文件更新列表下载完毕,准备更新...";
constexpr const char kDone[] = "文件更新完毕，更新成功";
constexpr const char kNotDone[] = "文件更新未成功";
// A list that cannot be kept in the temporary folder, and the refusals of a list.
constexpr const char kListNotSaved[] = "无法保存升级列表文件，更新失败！";
constexpr const char kSignatureMissing[] = "升级列表文件没有签名，已拒绝更新！";
constexpr const char kSignatureInvalid[] = "升级列表文件签名校验失败，已拒绝更新！";
constexpr const char kUnsafeList[] = "升级列表文件中的文件路径超出程序目录，已拒绝更新！";

// Messages.
constexpr const char kCaption[] = "在线更新";
constexpr const char kNotice[] = "提示";
constexpr const char kConfigError[] = "软件更新配置文件错误,更新失败!";
constexpr const char kThreadFailed[] = "  创建更新线程失败,请重新运行更新程序!";
constexpr const char kListAddressError[] = "软件更新列表错误,更新失败!";
constexpr const char kWriteErrorPrefix[] = "写文件";
constexpr const char kWriteErrorSuffix[] = "错误！\n文件正在使用中，请先关闭程序！";
constexpr const char kClientStillRuns[] = "应用程序进程未完全退出，请手动退出！";
constexpr const char kInstallFailedCaption[] = "更新失败";

}  // namespace texts
