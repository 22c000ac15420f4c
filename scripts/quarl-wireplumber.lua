-- Copied by scripts/pipewire.sh into main.lua.d as 60-quarl-test.lua: after Debian's
-- 50-*-config.lua files, which enable the device monitors, and before 90-enable-all.lua,
-- which starts what is enabled. The private server has no devices of its own and must not
-- take the machine's.
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
