#include "batch/streamprobe.h"

#include "process/commandline.h"
#include "process/tjvcreateprocess.h"

#include <csignal>
#include <utility>

StreamProbe::StreamProbe(QObject *parent) : QObject(parent)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        end();
        finish(std::nullopt);
    });
}

StreamProbe::~StreamProbe()
{
    end();
}

void StreamProbe::end()
{
    if (m_process && m_process->isWatching()) {
        m_process->Signal(SIGKILL);
        m_process->StopWatching();
    }
}

bool StreamProbe::start(const QByteArray &probeProgram, const QByteArray &path, Answer answer)
{
    if (probeProgram.isEmpty())
        return false;
    m_process = std::make_unique<TJvCreateProcess>();
    m_process->ConsoleOptions = unsigned(TJvConsoleOption::coRedirect);
    // Quiet: its standard error shares the pipe with the JSON answer.
    m_process->CommandLine = joinCommandLine(
        {probeProgram, "-v", "quiet", "-show_entries",
         "stream=codec_type,codec_name,codec_tag_string,pix_fmt,sample_rate,channels,bit_rate"
         ":stream_disposition=attached_pic"
         ":format=format_name",
         "-of", "json", "-i", path});
    m_process->OnRead = [this](TJvCreateProcess *, const QByteArray &line, bool startsOnNewLine) {
        // A report that does not start a line rewrites the one before it.
        if (startsOnNewLine || m_lines.isEmpty())
            m_lines << line;
        else
            m_lines.last() = line;
    };
    m_process->OnTerminate = [this](TJvCreateProcess *sender, std::uint32_t exitCode) {
        if (exitCode != 0 || sender->TerminationSignal() != 0)
            finish(std::nullopt);
        else
            finish(MediaStreams::parseProbeOutput(m_lines.join('\n')));
    };
    try {
        m_process->Run();
    } catch (const std::exception &) {
        m_process.reset();
        return false;
    }
    m_answer = std::move(answer);
    m_timeout.start(TimeoutMs);
    return true;
}

void StreamProbe::finish(const std::optional<MediaStreams::StreamList> &streams)
{
    m_timeout.stop();
    if (Answer answer = std::exchange(m_answer, Answer()))
        answer(streams);
}
