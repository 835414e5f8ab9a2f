@echo off
rem Converts waypoint (.wpt) and track (.plt) files to KML documents: drop
rem them onto this file, or name them after it on a command line. Each
rem becomes a .kml of the same name beside it, written by pintrove or
rem pathtrove from this folder. When a file is not converted the window
rem waits for a key before it closes, so that the messages can be read.
setlocal EnableExtensions DisableDelayedExpansion
set "failed="
if "%~1"=="" (
  echo Drop waypoint ^(.wpt^) and track ^(.plt^) files onto convert.cmd to convert them to .kml files.
  set "failed=1"
)

rem A name is only ever used through a FOR variable: a ")" in it cannot end a
rem block there, and percent signs and carets in it are left alone.
:next_argument
if "%~1"=="" goto end
set "matched="
rem A name with wildcards stands for the files it matches, any other for itself.
for %%f in ("%~1") do (
  set "matched=1"
  if /i "%%~xf"==".wpt" (
    "%~dp0pintrove.exe" "%%~f" "%%~dpnf.kml"
    if errorlevel 1 (set "failed=1") else echo "%%~f" -^> "%%~nf.kml"
  ) else if /i "%%~xf"==".plt" (
    "%~dp0pathtrove.exe" "%%~f" "%%~dpnf.kml"
    if errorlevel 1 (set "failed=1") else echo "%%~f" -^> "%%~nf.kml"
  ) else (
    echo "%%~f" is not a waypoint ^(.wpt^) or track ^(.plt^) file.
    set "failed=1"
  )
)
if not defined matched echo No file matches "%~1".
if not defined matched set "failed=1"
shift
goto next_argument

:end
if not defined failed exit /b 0
echo.
echo Some files were not converted: see the messages above.
pause
exit /b 1
