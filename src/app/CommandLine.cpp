#include "CommandLine.h"

#include "core/Global.h"

#include <cstring>

std::optional<QByteArray> CommandLineAnswer(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QByteArray answer = QByteArray("VelmarERP ") + ClientVersion;
            if (IsDemoBuild())
                answer += QStringLiteral("（演示版：服务地址 %1，仅供试用）").arg(BuiltInServiceHost()).toUtf8();
            return answer + '\n';
        }
        if (std::strcmp(argv[i], "--help") == 0)
            return QStringLiteral("用法：velmar-erp [--help] [--version] [--diagnose] [--log-file 文件]\n"
                                  "%1 桌面客户端。\n"
                                  "  --help      显示本说明并退出\n"
                                  "  --version   显示版本号并退出\n"
                                  "  --diagnose  显示诊断信息（版本、显示与缩放、输入法、代理、数据文件夹）并退出\n"
                                  "  --log-file 文件  把运行日志写入此文件（不论设置如何）\n")
                .arg(AppTitle())
                .toUtf8();
    }
    return std::nullopt;
}

bool DiagnoseRequested(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--diagnose") == 0)
            return true;
    }
    return false;
}

std::optional<QString> LogFileArgument(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log-file") == 0 && i + 1 < argc)
            return QString::fromLocal8Bit(argv[i + 1]);
        if (std::strncmp(argv[i], "--log-file=", 11) == 0 && argv[i][11] != '\0')
            return QString::fromLocal8Bit(argv[i] + 11);
    }
    return std::nullopt;
}
