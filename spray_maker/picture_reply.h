#pragma once

#include "image_loading.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the picture reader, a child process, hands back: the reduced picture the maker
// needs, or the one line saying why there is none. The reader decodes what may be
// hostile and may be taken over by it, so the parent trusts nothing of a reply that
// it has not checked here: every size within its bound, exactly the bytes they call
// for, a message of one short line.
namespace spray {

// What the reader sends at most: a picture reduced to what any spray needs is far
// smaller; only a very long, thin one comes near.
inline constexpr qint64 kMaxReplyPixels = qint64(4096) * 4096;
inline constexpr qint64 kMaxReplyBytes = 64 + kMaxReplyPixels * 4;
inline constexpr int kMaxReplyMessageBytes = 1024;

// Every reply starts with these bytes. The reader sends them as soon as its limits
// hold, before it reads anything of the picture: the picture's time starts then.
inline constexpr qsizetype kReplyStartBytes = 5;
QByteArray replyStart();

QByteArray pictureReply(const LoadedImage &image);
QByteArray refusalReply(const QString &message);

// The picture the reply holds; empty with *error set to the reader's refusal, or
// saying that the reply for fileName cannot be used.
std::optional<LoadedImage> pictureFromReply(const QByteArray &reply, const QString &fileName,
                                            QString *error);

} // namespace spray
