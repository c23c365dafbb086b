// The distributor's header picture fetched after a login: when bg_image_path is an http(s) URL it
// is downloaded beside the data files, accepted only as a PNG or BMP image that decodes whole and
// is of a sensible size, and then replaces XInfo.dll in one rename. Anything else leaves the old
// picture and logs why.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

namespace quillon {

struct DownloadProxy;

class BrandingDownload : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxWidth = 4096;
    static constexpr int kMaxHeight = 4096;

    explicit BrandingDownload(QObject* parent = nullptr);
    ~BrandingDownload() override;  // cancels a running download and waits for it

    // Starts the download on a thread of its own; false when bg_image_path names no http(s) URL
    // or a download already runs.
    bool Start();
    bool Running() const { return running_.load(); }

    // Whether the file is a whole PNG or BMP image within the size limits; `why` says why not.
    static bool AcceptableImage(const QString& path, QString& why);

signals:
    // On the ui thread: `replaced` when a new picture is in place.
    void finished(bool replaced);

private:
    void Run(const std::string& url, const std::string& target, const DownloadProxy& proxy);

    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
};

}  // namespace quillon
