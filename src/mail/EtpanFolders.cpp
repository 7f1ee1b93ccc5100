// The server's folders with their attributes, for finding the folder that plays a role (sent,
// junk, ...) under another name: the personal namespace (NAMESPACE, where offered) and one LIST,
// which asks for special-use attributes where the server offers them.
#include "mail/EtpanWorker.h"

#include <QThread>

#include <libetpan/libetpan.h>

namespace {

QStringList attributesOf(const mailimap_mbx_list_flags* flags) {
    QStringList attributes;
    if (!flags)
        return attributes;
    if (flags->mbf_type == MAILIMAP_MBX_LIST_FLAGS_SFLAG) {
        switch (flags->mbf_sflag) {
        case MAILIMAP_MBX_LIST_SFLAG_NOSELECT:
            attributes.append(QStringLiteral("\\Noselect"));
            break;
        case MAILIMAP_MBX_LIST_SFLAG_MARKED:
            attributes.append(QStringLiteral("\\Marked"));
            break;
        case MAILIMAP_MBX_LIST_SFLAG_UNMARKED:
            attributes.append(QStringLiteral("\\Unmarked"));
            break;
        default:
            break;
        }
    }
    for (clistiter* i = clist_begin(flags->mbf_oflags); i; i = clist_next(i)) {
        const auto* flag = static_cast<const mailimap_mbx_list_oflag*>(clist_content(i));
        if (flag->of_type == MAILIMAP_MBX_LIST_OFLAG_NOINFERIORS)
            attributes.append(QStringLiteral("\\Noinferiors"));
        else if (flag->of_flag_ext)
            attributes.append(QLatin1Char('\\') + QString::fromUtf8(flag->of_flag_ext));
    }
    return attributes;
}

} // namespace

// Called in the worker thread. A greeting and a LOGIN answer may carry no capabilities.
bool EtpanWorker::knowCapabilities() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (imap_->imap_connection_info && imap_->imap_connection_info->imap_capability)
        return true;
    const int r = requestCapabilities();
    if (r == MAILIMAP_NO_ERROR)
        return true;
    fail(QStringLiteral("CAPABILITY"), r);
    return false;
}

// Called in the worker thread. The first personal namespace; a server that answers NAMESPACE
// with a refusal keeps its folders at the top. False when the connection failed.
bool EtpanWorker::readNamespace(RawDirectory& directory) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!mailimap_has_extension(imap_, "NAMESPACE"))
        return true;
    mailimap_namespace_data* data = nullptr;
    const int r = mailimap_namespace(imap_, &data);
    if (r == MAILIMAP_ERROR_STREAM || r == MAILIMAP_ERROR_PARSE || r == MAILIMAP_ERROR_FATAL) {
        fail(QStringLiteral("NAMESPACE"), r);
        return false;
    }
    if (r == MAILIMAP_NO_ERROR && data && data->ns_personal) {
        clistiter* first = clist_begin(data->ns_personal->ns_data_list);
        if (first) {
            const auto* info = static_cast<const mailimap_namespace_info*>(clist_content(first));
            directory.personalPrefix = QByteArray(info->ns_prefix);
            directory.separator = info->ns_delimiter;
        }
    }
    if (data)
        mailimap_namespace_data_free(data);
    return true;
}

// Called in the worker thread. LIST "" "*" RETURN (SPECIAL-USE), sent by hand: libetpan's LIST
// takes no return options. The folders are taken from libetpan's response store, as its own LIST
// does.
int EtpanWorker::listWithSpecialUse(clist** result) {
    Q_ASSERT(QThread::currentThread() == thread());
    static const QByteArray line = "LIST \"\" \"*\" RETURN (SPECIAL-USE)";
    if (mailimap_send_current_tag(imap_) != MAILIMAP_NO_ERROR ||
        mailstream_write(imap_->imap_stream, line.constData(), size_t(line.size())) < 0)
        return MAILIMAP_ERROR_STREAM;
    const int r = finishCommand();
    if (r != MAILIMAP_NO_ERROR)
        return r;
    *result = imap_->imap_response_info->rsp_mailbox_list;
    imap_->imap_response_info->rsp_mailbox_list = nullptr;
    return *result ? MAILIMAP_NO_ERROR : MAILIMAP_ERROR_LIST;
}

// Called in the worker thread.
std::optional<EtpanWorker::RawDirectory> EtpanWorker::directory() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!requireConnection("LIST") || !knowCapabilities())
        return std::nullopt;
    RawDirectory directory;
    if (!readNamespace(directory))
        return std::nullopt;
    clist* result = nullptr;
    const int r = mailimap_has_extension(imap_, "SPECIAL-USE")
                      ? listWithSpecialUse(&result)
                      : mailimap_list(imap_, "", "*", &result);
    if (r != MAILIMAP_NO_ERROR) {
        fail(QStringLiteral("LIST"), r);
        return std::nullopt;
    }
    for (clistiter* i = clist_begin(result); i; i = clist_next(i)) {
        const auto* entry = static_cast<const mailimap_mailbox_list*>(clist_content(i));
        directory.folders.append(RawFolder{QByteArray(entry->mb_name), entry->mb_delimiter,
                                           attributesOf(entry->mb_flag)});
    }
    mailimap_list_result_free(result);
    return directory;
}
