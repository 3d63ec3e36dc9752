// The media service over Qt Multimedia: QMediaPlayer with a QAudioOutput for media
// files, QSoundEffect for wave sounds, the FluidSynth player for MIDI.
//
// Without an audio device Qt's players still run (the media player plays into a
// sink that discards) but QSoundEffect never ends a sound it cannot play, so the
// wave channel also ends a sound after its length. Qt Multimedia reports a missing
// sound server on standard error; those messages are held back (unless
// PORUKANA_MEDIA_DEBUG is set), since a console program's output must not carry them.
#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <cstdlib>
#include <memory>
#include <mutex>

#include "interp/services.h"
#include "media/media_files.h"
#include "media/player.h"
#include "services/media_midi.h"

namespace {

constexpr int kLoadWaitMs = 3000;      // Open waits this long for the file to be understood
constexpr int kDeviceStartMs = 2000;   // time a wave sound may take to start on a device

QtMessageHandler gPreviousHandler = nullptr;

void FilterMediaMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const bool mediaCategory = context.category && qstrncmp(context.category, "qt.multimedia", 13) == 0;
    const bool noServer =
        message.startsWith(QLatin1String("PulseAudioService:")) || message == QLatin1String("No audio device detected");
    if (type < QtCriticalMsg && (mediaCategory || noServer))
        return;
    if (gPreviousHandler)
        gPreviousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

void QuietQtMultimedia()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!std::getenv("PORUKANA_MEDIA_DEBUG"))
            gPreviousHandler = qInstallMessageHandler(FilterMediaMessages);
    });
}

bool HasAudioDevice()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

std::string ReasonOf(QMediaPlayer::Error e)
{
    switch (e) {
    case QMediaPlayer::ResourceError:
        return "ファイルを読み込めません。";
    case QMediaPlayer::FormatError:
        return "この形式のファイルには対応していません。";
    case QMediaPlayer::AccessDeniedError:
        return "ファイルへのアクセスが拒否されました。";
    case QMediaPlayer::NetworkError:
        return "ネットワークからファイルを読み込めません。";
    default:
        return "ファイルを演奏できません。";
    }
}

// A media player with an audio output of its own (not its child): the output is
// detached and freed only after the player, so that no pipeline of the player ever
// refers to an output already gone. Reports stop first.
QMediaPlayer* NewMediaPlayer()
{
    auto* player = new QMediaPlayer;
    player->setAudioOutput(new QAudioOutput);
    return player;
}

void DeleteMediaPlayer(QMediaPlayer* player)
{
    if (!player)
        return;
    player->disconnect();
    player->stop();
    player->setSource(QUrl());
    QAudioOutput* output = player->audioOutput();
    player->setAudioOutput(nullptr);
    delete player;
    delete output;
}

class TQtPlayer : public IMediaPlayer {
public:
    TQtPlayer() : player_(NewMediaPlayer())
    {
        QObject::connect(player_, &QMediaPlayer::playbackStateChanged, player_, [this] { Notify(); });
        QObject::connect(player_, &QMediaPlayer::mediaStatusChanged, player_, [this](QMediaPlayer::MediaStatus s) {
            if (s == QMediaPlayer::EndOfMedia && open_)
                // Reported after the signal has returned: the handler may close the file.
                QMetaObject::invokeMethod(
                    player_, [this] { Ended(); }, Qt::QueuedConnection);
            Notify();
        });
        QObject::connect(player_, &QMediaPlayer::errorOccurred, player_, [this] { Notify(); });
    }
    ~TQtPlayer() override
    {
        ended_ = nullptr;
        changed_ = nullptr;
        DeleteMediaPlayer(player_);
    }

    bool Open(const std::string& path, std::string& error) override
    {
        Close();
        const QString file = QString::fromStdString(path);
        if (!QFileInfo(file).isReadable()) {
            error = ReasonOf(QMediaPlayer::ResourceError);
            return false;
        }
        player_->setSource(QUrl::fromLocalFile(file));
        WaitForLoad();
        if (player_->error() != QMediaPlayer::NoError || player_->mediaStatus() == QMediaPlayer::InvalidMedia) {
            error = ReasonOf(player_->error() != QMediaPlayer::NoError ? player_->error() : QMediaPlayer::FormatError);
            player_->setSource(QUrl());
            return false;
        }
        open_ = true;
        played_ = stopped_ = false;
        Notify();
        return true;
    }

    void Close() override
    {
        if (!open_)
            return;
        open_ = false;
        player_->stop();
        player_->setSource(QUrl());
        Notify();
    }

    void Play() override
    {
        if (!open_)
            return;
        played_ = true;
        stopped_ = false;
        player_->play();
        Notify();
    }

    void Pause() override
    {
        if (!open_)
            return;
        stopped_ = false;
        player_->pause();
        Notify();
    }

    // Stopping keeps the position (QMediaPlayer::stop would go back to the start).
    void Stop() override
    {
        if (!open_)
            return;
        if (player_->playbackState() == QMediaPlayer::PlayingState)
            player_->pause();
        stopped_ = true;
        Notify();
    }

    void Seek(int64_t ms) override
    {
        if (open_)
            player_->setPosition(ms);
    }

    TMediaMode Mode() const override
    {
        if (!open_ || player_->mediaStatus() == QMediaPlayer::InvalidMedia)
            return TMediaMode::NotReady;
        switch (player_->playbackState()) {
        case QMediaPlayer::PlayingState:
            return TMediaMode::Playing;
        case QMediaPlayer::PausedState:
            return stopped_ ? TMediaMode::Stopped : TMediaMode::Paused;
        default:
            return played_ ? TMediaMode::Stopped : TMediaMode::Open;
        }
    }

    int64_t PositionMs() const override { return open_ ? player_->position() : 0; }
    int64_t LengthMs() const override { return open_ ? player_->duration() : 0; }

    void SetNotifications(std::function<void()> ended, std::function<void()> changed) override
    {
        ended_ = std::move(ended);
        changed_ = std::move(changed);
    }

private:
    // Loading runs on its own: wait until the player knows whether it can play the
    // file (events go on meanwhile; handlers they start run after this command).
    void WaitForLoad()
    {
        auto loading = [this] {
            const auto s = player_->mediaStatus();
            return player_->error() == QMediaPlayer::NoError &&
                   (s == QMediaPlayer::LoadingMedia || s == QMediaPlayer::NoMedia);
        };
        if (!loading())
            return;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(player_, &QMediaPlayer::mediaStatusChanged, &loop, [&] {
            if (!loading())
                loop.quit();
        });
        QObject::connect(player_, &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
        limit.start(kLoadWaitMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

    void Ended()
    {
        if (!open_)
            return;
        stopped_ = true;
        if (ended_)
            ended_();
        Notify();
    }

    void Notify()
    {
        if (changed_)
            changed_();
    }

    QMediaPlayer* player_;
    bool open_ = false;
    bool played_ = false;
    bool stopped_ = false;
    std::function<void()> ended_, changed_;
};

// One wave sound at a time. QSoundEffect plays plain PCM waves; a wave it cannot
// decode (compressed ones) goes to a media player instead.
class TWaveChannel {
public:
    TWaveChannel()
    {
        end_.setSingleShot(true);
        QObject::connect(&end_, &QTimer::timeout, [this] { Finished(); });
    }
    ~TWaveChannel()
    {
        changed_ = nullptr;
        end_.stop();
        if (effect_) {
            effect_->disconnect();   // no reports from a player being freed
            effect_->stop();
        }
        delete effect_;
        DeleteMediaPlayer(fallback_);
    }

    void Play(const std::string& path, bool loop)
    {
        Stop(false);
        const QString file = QString::fromStdString(path);
        const int64_t ms = WaveDurationMs(ReadFileBytes(path, 1 << 16), QFileInfo(file).size());
        playing_ = true;
        const bool onDevice = HasAudioDevice();
        if (onDevice) {
            if (!effect_) {
                effect_ = new QSoundEffect;
                QObject::connect(effect_, &QSoundEffect::playingChanged, effect_, [this] {
                    if (!effect_->isPlaying() && playing_ && !usingFallback_ &&
                        effect_->status() != QSoundEffect::Loading)
                        Finished();
                });
                QObject::connect(effect_, &QSoundEffect::statusChanged, effect_, [this] {
                    if (effect_->status() == QSoundEffect::Error && playing_ && !usingFallback_)
                        PlayFallback();
                });
            }
            usingFallback_ = false;
            source_ = QUrl::fromLocalFile(file);
            loop_ = loop;
            effect_->setSource(source_);
            effect_->setLoopCount(loop ? QSoundEffect::Infinite : 1);
            effect_->play();
        }
        // A sound that does not loop is over after its length at the latest; a device
        // may take a moment to start the sound (connecting to the sound server).
        // Without a device a file that is no wave sound is over at once, looping or not.
        if (!onDevice && ms < 0)
            end_.start(0);
        else if (!loop)
            end_.start(static_cast<int>(
                std::min<int64_t>(std::max<int64_t>(ms, 0) + (onDevice ? kDeviceStartMs : 0), 0x7FFFFFFF)));
        Notify();
    }

    void Stop(bool notify = true)
    {
        end_.stop();
        if (effect_)
            effect_->stop();
        if (fallback_)
            fallback_->stop();
        const bool was = playing_;
        playing_ = false;
        if (notify && was)
            Notify();
    }

    bool Playing() const { return playing_; }
    void SetChanged(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    void PlayFallback()
    {
        usingFallback_ = true;
        if (!fallback_) {
            fallback_ = NewMediaPlayer();
            QObject::connect(fallback_, &QMediaPlayer::mediaStatusChanged, fallback_,
                             [this](QMediaPlayer::MediaStatus s) {
                                 if ((s == QMediaPlayer::EndOfMedia || s == QMediaPlayer::InvalidMedia) && playing_ &&
                                     usingFallback_)
                                     Finished();
                             });
        }
        fallback_->setSource(source_);
        fallback_->setLoops(loop_ ? QMediaPlayer::Infinite : 1);
        fallback_->play();
    }

    void Finished()
    {
        if (!playing_)
            return;
        Stop(false);
        Notify();
    }

    void Notify()
    {
        if (changed_)
            changed_();
    }

    QSoundEffect* effect_ = nullptr;
    QMediaPlayer* fallback_ = nullptr;
    QTimer end_;
    QUrl source_;
    bool loop_ = false;
    bool playing_ = false;
    bool usingFallback_ = false;
    std::function<void()> changed_;
};

class TQtMediaService : public IMediaService {
public:
    TQtMediaService() { QuietQtMultimedia(); }

    std::unique_ptr<IMediaPlayer> NewPlayer(TPlayerKind kind) override
    {
        if (kind == TPlayerKind::Midi)
            return NewMidiPlayer();
        return std::make_unique<TQtPlayer>();
    }
    void PlayWave(const std::string& path, bool loop) override { wave_.Play(path, loop); }
    void StopWave() override { wave_.Stop(); }
    bool WavePlaying() const override { return wave_.Playing(); }
    void SetWaveChanged(std::function<void()> changed) override { wave_.SetChanged(std::move(changed)); }

private:
    TWaveChannel wave_;
};

TServiceProvider<IMediaService> gMedia([](TPoruBase&) { return std::make_unique<TQtMediaService>(); });

}   // namespace
