#include "tjvcreateprocess.h"

#include <stdexcept>

TJvCreateProcess::TJvCreateProcess(QObject *parent) : QObject(parent) {}

TJvCreateProcess::~TJvCreateProcess() = default;

void TJvCreateProcess::Run()
{
    throw std::runtime_error("Starting child processes is not available yet");
}

bool TJvCreateProcess::Write(const QByteArray &)
{
    return false;
}

void TJvCreateProcess::StopWatching() {}
