#pragma once

// Notices that the serial port of a module that vanished (unplugged, or its
// adapter reset) is back: either at the same path, or under the same
// /dev/serial/by-id name (a USB adapter plugged into another socket gets a
// new ttyUSB number but keeps that name). It watches the folders the port
// appears in, so nothing polls; the main window then offers to reconnect.
//
//   watch.Remember("/dev/ttyUSB0");   // when connected: notes the by-id name
//   watch.Arm();                      // when the port vanished
//   connect(&watch, &CPortReturnWatch::Returned, ...);  // path to open

#include <QObject>

#include <string>

class QFileSystemWatcher;

class CPortReturnWatch : public QObject {
    Q_OBJECT
public:
    explicit CPortReturnWatch(QObject* parent = nullptr,
                              std::string byIdFolder = "/dev/serial/by-id");

    // The port of the connection that now works, and its by-id name.
    void Remember(const std::string& path);
    // Starts watching; Returned comes once, when the port is back.
    void Arm();
    void Disarm();
    bool Armed() const { return armed_; }
    const std::string& ById() const { return byIdName_; }

signals:
    void Returned(const QString& path);

private:
    void Check();
    // The watched folders: the nearest existing folder above the port and
    // above its by-id link (a folder that appears later is watched then).
    void Rewatch();

    std::string byIdFolder_;
    std::string path_;
    std::string byIdName_;
    bool armed_ = false;
    QFileSystemWatcher* watcher_ = nullptr;
};
