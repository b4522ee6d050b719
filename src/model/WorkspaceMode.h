#pragma once

// The workspaces between which the root view switches.
enum class WorkspaceMode { Launcher, ImageMarkup, ImageComparison, TextComparison, Compression, VideoFrameAnnotation };
