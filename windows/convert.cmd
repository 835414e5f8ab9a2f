@echo off
rem Converts waypoint (.wpt) and track (.plt) files to KML documents: drop
rem them onto this file, or name them after it on a command line. Each
rem becomes a .kml of the same name beside it, written by pintrove or
rem pathtrove from this folder; a waypoint and a track file of the same
rem name become NAME.wpt.kml and NAME.plt.kml. When a file is not converted
rem the window waits for a key before it closes, so that the messages can be
rem read.
setlocal EnableExtensions DisableDelayedExpansion
set "failed="
set "here=%~dp0"
if "%~1"=="" (
  echo Drop waypoint ^(.wpt^) and track ^(.plt^) files onto convert.cmd to convert them to .kml files.
  set "failed=1"
)

rem A name is only ever used through a FOR variable or, in :convert_file,
rem between quotes: a ")" in it cannot end a block, and percent signs,
rem carets and exclamation marks in it are left alone.
:next_argument
if "%~1"=="" goto end
set "matched="
rem A name with wildcards stands for the files it matches, any other for itself.
for %%f in ("%~1") do (
  set "matched=1"
  set "name=%%~f"
  set "kind=%%~xf"
  set "stem_document=%%~dpnf.kml"
  set "whole_document=%%~dpnxf.kml"
  set "stem_shown=%%~nf.kml"
  set "whole_shown=%%~nxf.kml"
  rem Another waypoint or track file given, beside this one and with the
  rem same name less its extension (trip.wpt and trip.plt), would get the
  rem same document: then both are named after their whole names. (All on
  rem one line: wine's cmd misreads a block that follows "do if".)
  set "shared="
  for %%e in (.wpt .plt) do for %%g in (%*) do if /i "%%~xg"=="%%e" if /i not "%%~ff"=="%%~fg" if /i "%%~dpnf"=="%%~dpng" set "shared=1"
  call :convert_file
)
if not defined matched echo No file matches "%~1".
if not defined matched set "failed=1"
shift
goto next_argument

rem Converts the file the loop above describes, by its kind.
:convert_file
set "program="
if /i "%kind%"==".wpt" set "program=pintrove"
if /i "%kind%"==".plt" set "program=pathtrove"
if not defined program echo "%name%" is not a waypoint ^(.wpt^) or track ^(.plt^) file.
if not defined program set "failed=1"
if not defined program goto :eof
set "document=%stem_document%"
set "shown=%stem_shown%"
if defined shared set "document=%whole_document%"
if defined shared set "shown=%whole_shown%"
"%here%%program%.exe" "%name%" "%document%"
if errorlevel 1 (set "failed=1") else echo "%name%" -^> "%shown%"
goto :eof

:end
if not defined failed exit /b 0
echo.
echo Some files were not converted: see the messages above.
pause
exit /b 1
