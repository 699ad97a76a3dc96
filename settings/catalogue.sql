-- Halvora's settings database: the option catalogue for .mp4 output and the
-- user's saved choices. The build turns this text into LibFFmpeg.Dat.
-- Each option table lists its entries by cmbex_index 0, 1, 2, ... without gaps;
-- entry 0 has an empty fragment and keeps the source's value.

BEGIN;
-- The catalogue's version: raise it whenever an option table changes, so that
-- the launcher upgrades users' copies of this file.
PRAGMA user_version = 4;
CREATE TABLE cmbex_itemindex (cmbex_tag INTEGER NOT NULL PRIMARY KEY, cmbex_index INTEGER NOT NULL);
INSERT INTO cmbex_itemindex VALUES (1, 1);
INSERT INTO cmbex_itemindex VALUES (2, 0);
INSERT INTO cmbex_itemindex VALUES (3, 0);
INSERT INTO cmbex_itemindex VALUES (4, 0);
INSERT INTO cmbex_itemindex VALUES (5, 0);
INSERT INTO cmbex_itemindex VALUES (6, 1);
INSERT INTO cmbex_itemindex VALUES (7, 3);
INSERT INTO cmbex_itemindex VALUES (8, 2);
INSERT INTO cmbex_itemindex VALUES (9, 0);

CREATE TABLE cmbex_vdocodec (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_vdocodec VALUES (0, 'Keep source', '');
INSERT INTO cmbex_vdocodec VALUES (1, 'H.264 (libx264)', '-c:v libx264 -preset medium -pix_fmt yuv420p');
INSERT INTO cmbex_vdocodec VALUES (2, 'H.265 (libx265)', '-c:v libx265 -preset medium -pix_fmt yuv420p -tag:v hvc1');
INSERT INTO cmbex_vdocodec VALUES (3, 'MPEG-4 Part 2', '-c:v mpeg4 -q:v 4');
INSERT INTO cmbex_vdocodec VALUES (4, 'Copy video stream', '-c:v copy');
INSERT INTO cmbex_vdocodec VALUES (5, 'AV1 (SVT-AV1)', '-c:v libsvtav1 -preset 8 -pix_fmt yuv420p');
INSERT INTO cmbex_vdocodec VALUES (6, 'VP9 (libvpx)', '-c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -pix_fmt yuv420p');

CREATE TABLE cmbex_vdobitrate (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_vdobitrate VALUES (0, 'Automatic', '');
INSERT INTO cmbex_vdobitrate VALUES (1, '500 kbit/s', '-b:v 500k');
INSERT INTO cmbex_vdobitrate VALUES (2, '1000 kbit/s', '-b:v 1000k');
INSERT INTO cmbex_vdobitrate VALUES (3, '1500 kbit/s', '-b:v 1500k');
INSERT INTO cmbex_vdobitrate VALUES (4, '2500 kbit/s', '-b:v 2500k');
INSERT INTO cmbex_vdobitrate VALUES (5, '4000 kbit/s', '-b:v 4000k');
INSERT INTO cmbex_vdobitrate VALUES (6, '8000 kbit/s', '-b:v 8000k');

CREATE TABLE cmbex_vdosize (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_vdosize VALUES (0, 'Keep source', '');
INSERT INTO cmbex_vdosize VALUES (1, '320x240', '-s 320x240');
INSERT INTO cmbex_vdosize VALUES (2, '640x360', '-s 640x360');
INSERT INTO cmbex_vdosize VALUES (3, '640x480', '-s 640x480');
INSERT INTO cmbex_vdosize VALUES (4, '854x480', '-s 854x480');
INSERT INTO cmbex_vdosize VALUES (5, '1280x720', '-s 1280x720');
INSERT INTO cmbex_vdosize VALUES (6, '1920x1080', '-s 1920x1080');

CREATE TABLE cmbex_vdofps (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_vdofps VALUES (0, 'Keep source', '');
INSERT INTO cmbex_vdofps VALUES (1, '23.976', '-r 24000/1001');
INSERT INTO cmbex_vdofps VALUES (2, '24', '-r 24');
INSERT INTO cmbex_vdofps VALUES (3, '25', '-r 25');
INSERT INTO cmbex_vdofps VALUES (4, '29.97', '-r 30000/1001');
INSERT INTO cmbex_vdofps VALUES (5, '30', '-r 30');
INSERT INTO cmbex_vdofps VALUES (6, '50', '-r 50');
INSERT INTO cmbex_vdofps VALUES (7, '60', '-r 60');

CREATE TABLE cmbex_vdoaspect (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_vdoaspect VALUES (0, 'Keep source', '');
INSERT INTO cmbex_vdoaspect VALUES (1, '4:3', '-aspect 4:3');
INSERT INTO cmbex_vdoaspect VALUES (2, '16:9', '-aspect 16:9');
INSERT INTO cmbex_vdoaspect VALUES (3, '1:1', '-aspect 1:1');
INSERT INTO cmbex_vdoaspect VALUES (4, '21:9', '-aspect 21:9');

CREATE TABLE cmbex_adocodec (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_adocodec VALUES (0, 'Keep source', '');
INSERT INTO cmbex_adocodec VALUES (1, 'AAC', '-c:a aac');
INSERT INTO cmbex_adocodec VALUES (2, 'MP3 (libmp3lame)', '-c:a libmp3lame');
INSERT INTO cmbex_adocodec VALUES (3, 'Copy audio stream', '-c:a copy');
INSERT INTO cmbex_adocodec VALUES (4, 'Opus', '-c:a libopus');

CREATE TABLE cmbex_adobitrate (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_adobitrate VALUES (0, 'Automatic', '');
INSERT INTO cmbex_adobitrate VALUES (1, '64 kbit/s', '-b:a 64k');
INSERT INTO cmbex_adobitrate VALUES (2, '96 kbit/s', '-b:a 96k');
INSERT INTO cmbex_adobitrate VALUES (3, '128 kbit/s', '-b:a 128k');
INSERT INTO cmbex_adobitrate VALUES (4, '160 kbit/s', '-b:a 160k');
INSERT INTO cmbex_adobitrate VALUES (5, '192 kbit/s', '-b:a 192k');
INSERT INTO cmbex_adobitrate VALUES (6, '256 kbit/s', '-b:a 256k');
INSERT INTO cmbex_adobitrate VALUES (7, '320 kbit/s', '-b:a 320k');

CREATE TABLE cmbex_adochannels (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_adochannels VALUES (0, 'Keep source', '');
INSERT INTO cmbex_adochannels VALUES (1, 'Mono', '-ac 1');
INSERT INTO cmbex_adochannels VALUES (2, 'Stereo', '-ac 2');

CREATE TABLE cmbex_adofreq (cmbex_index INTEGER NOT NULL PRIMARY KEY, cmbex_name TEXT NOT NULL, cmbex_cmd TEXT NOT NULL);
INSERT INTO cmbex_adofreq VALUES (0, 'Keep source', '');
INSERT INTO cmbex_adofreq VALUES (1, '22050 Hz', '-ar 22050');
INSERT INTO cmbex_adofreq VALUES (2, '32000 Hz', '-ar 32000');
INSERT INTO cmbex_adofreq VALUES (3, '44100 Hz', '-ar 44100');
INSERT INTO cmbex_adofreq VALUES (4, '48000 Hz', '-ar 48000');

CREATE TABLE savedir_videofile (dir_numb TEXT NOT NULL PRIMARY KEY, dir_name TEXT NOT NULL);
INSERT INTO savedir_videofile VALUES ('001', '');

CREATE TABLE window_state (state_key TEXT NOT NULL PRIMARY KEY, state_value TEXT NOT NULL);
INSERT INTO window_state VALUES ('size', '');
INSERT INTO window_state VALUES ('add_folder', '');

CREATE TABLE batch_settings (setting_key TEXT NOT NULL PRIMARY KEY, setting_value TEXT NOT NULL);
INSERT INTO batch_settings VALUES ('simultaneous', '0');
INSERT INTO batch_settings VALUES ('reencode_fitting', '0');
COMMIT;
