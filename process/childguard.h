#pragma once

// What ChildStart and the guard program (guard/) agree on. Plain constants
// only: the guard is built without Qt.
//
// The guard stands between this process and each program it starts, so that
// nothing started here outlives this process. It is started as
//
//   halvora-guard PARENT-PID COUNT CANDIDATE... ARGV0 ARG...
//
// with every signal blocked and the parent-death signal set. It runs the
// first of the COUNT candidate paths that can run, with ARGV0 ARG... as its
// arguments, and reports a failed start as one int (the errno) on ReportFd;
// it closes ReportFd once the program runs. Its exit mirrors the program's.
namespace ChildGuard {

// The guard's file name in the folder bin/ beside the running executable.
constexpr const char FileName[] = "halvora-guard";

// The descriptor the guard reports a failed start on.
constexpr int ReportFd = 3;

// Once PARENT-PID has ended the program gets SIGTERM (ffmpeg finishes its
// file then), and SIGKILL when it has used no processor time for
// OrphanGraceMs, checked every OrphanCheckMs, or OrphanLimitMs after SIGTERM
// at the latest: a stuck program goes after the grace, a working one may
// finish (a slow encoder's last frames can take half a minute under load).
constexpr int OrphanGraceMs = 5000;
constexpr int OrphanCheckMs = 250;
constexpr int OrphanLimitMs = 60000;

} // namespace ChildGuard
