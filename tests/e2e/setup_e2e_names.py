#!/usr/bin/env python3
"""What setup_e2e.sh expects of an installation, from the configuration that
setup.exe was built with and the payload folders packed into it.

  setup_e2e_names.py CONFIG TARGET PAYLOAD [OVERLAY]

TARGET is the target folder as Windows names it (the configured tgt_folder
with its variables expanded). Prints shell assignments for setup_e2e.sh to
evaluate; lists are arrays, paths relative to the target with backslashes.
"""
import os
import shlex
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts'))
import rar4pack  # noqa: E402
import setup_config as cfg  # noqa: E402

UNINSTALL_ROOT = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'


def reg_string(text):
    """A string's data as the registry editor exports it."""
    return '"%s"' % text.replace('\\', '\\\\').replace('"', '\\"')


def reg_line(name, data):
    return ('@' if name == '' else reg_string(name)) + '=' + data


def xml_attribute(text):
    """A value as the x-ini writer writes it."""
    out = []
    for c in text:
        if ord(c) < 0x20:
            out.append('&#x%X;' % ord(c))
        else:
            out.append({'"': '&quot;', '&': '&amp;', '<': '&lt;', '>': '&gt;'}.get(c, c))
    return ''.join(out)


def split_program(item, is_file):
    """The program of a command item and its arguments, as setup.exe splits
    them: a quoted path ends at its quote, otherwise the shortest beginning
    ending at a blank that names a payload file, else the first word."""
    item = item.lstrip(' ')
    if item.startswith('"'):
        close = item.find('"', 1)
        if close < 0:
            return item[1:], ''
        return item[1:close], item[close + 1:].lstrip(' ')
    blanks = [i for i, c in enumerate(item) if c == ' ' and (i == 0 or item[i - 1] != ' ')]
    for end in blanks + [len(item)]:
        if is_file(item[:end]):
            return item[:end], item[end:].lstrip(' ')
    end = blanks[0] if blanks else len(item)
    return item[:end], item[end:].lstrip(' ')


def main(argv):
    config, target = argv[1], argv[2]
    root = cfg.load(config)
    entries = list(rar4pack.walk_all([f for f in argv[3:] if f]))
    files = [rel for rel, _, folder in entries if not folder]
    folders = [rel for rel, _, folder in entries if folder]
    payload = {rel.upper() for rel, _, _ in entries}
    payload_files = {rel.upper() for rel in files}

    def exists(rel):
        return rel.upper() in payload

    def is_file(rel):
        return rel.upper() in payload_files

    out = {}
    v = lambda *path: cfg.value(root, *path)  # noqa: E731
    folder = target.rstrip('\\') + '\\'

    reg_install_key = v('general', 'reg_install_key')
    out['install_key'] = 'HKLM\\Software\\' + reg_install_key if reg_install_key else ''
    out['install_path_line'] = reg_line('InstallPath', reg_string(target)) if reg_install_key else ''

    # The uninstall entry, sorted as setup_e2e.sh reads it.
    uninstall = cfg.item(root, 'uninstall')
    key = v('uninstall', 'reg_uninstall_key')
    out['uninstall_key'] = UNINSTALL_ROOT + key if uninstall is not None and key else ''
    lines = []
    programs = []
    if out['uninstall_key']:
        program, arguments = split_program(v('uninstall', 'uninstall_exe'), is_file)
        programs.append(program)
        lines.append(reg_line('DisplayName', reg_string(v('uninstall', 'display_name'))))
        lines.append(reg_line('UninstallString',
                              reg_string('"%s%s"%s' % (folder, program, ' ' + arguments if arguments else ''))))
        for name, item in (('DisplayVersion', 'display_version'), ('Publisher', 'publisher'),
                           ('URLInfoAbout', 'url_info_about'), ('HelpTelephone', 'help_telephone'),
                           ('Contact', 'contact')):
            if v('uninstall', item):
                lines.append(reg_line(name, reg_string(v('uninstall', item))))
        if v('uninstall', 'display_icon_file'):
            lines.append(reg_line('DisplayIcon', reg_string(folder + v('uninstall', 'display_icon_file') + ',-0')))
        for name, item in (('NoModify', 'no_modify'), ('NoRepair', 'no_repair')):
            number = int(v('uninstall', item) or '0') & 0xFFFFFFFF
            if number:
                lines.append(reg_line(name, 'dword:%08x' % number))
    out['uninstall_lines'] = '\n'.join(sorted(lines, key=lambda s: s.encode('utf-8')))

    # The autorun value: its name, and its line when it is written.
    autorun_target = v('autorun', 'link', 'target_file')
    out['autorun_name'] = v('autorun', 'link', 'description') if autorun_target else ''
    out['autorun_prefix'] = reg_line(out['autorun_name'], '')
    out['autorun_line'] = ''
    if autorun_target:
        programs.append(autorun_target)
        if cfg.flag(root, 'autorun', 'create_autorun_record'):
            out['autorun_line'] = reg_line(out['autorun_name'], reg_string('"%s%s"' % (folder, autorun_target)))
    out['has_autorun'] = '1' if autorun_target else ''

    for run in cfg.sections(root, 'finish_run', 'item'):
        program, _ = split_program(cfg.value(run, 'target_file'), is_file)
        programs.append(program)
    seen = set()
    out['programs'] = [p for p in programs if p and not (p.upper() in seen or seen.add(p.upper()))]

    # Shortcuts: their file names, and those that an installation makes (a
    # link whose target the payload lacks is not made).
    group = v('start_menu', 'start_menu_group')
    desktop = cfg.flag(root, 'desktop_links', 'create_desktop_links')
    names, made = [], []
    for section, make in (('start_menu', True), ('desktop_links', desktop)):
        for link in cfg.sections(root, section, 'link'):
            name = cfg.value(link, 'link_file').replace('/', '\\').split('\\')[-1]
            names.append(name)
            if make and exists(cfg.value(link, 'target_file')):
                made.append(name)
    out['shortcuts'] = sorted(set(names))
    out['made_shortcuts'] = sorted(set(made))

    # The installation record.
    record = [
        '<?xml version="1.0" encoding="utf-8"?>',
        '<!DOCTYPE vxini SYSTEM "vxini4.dtd">',
        '<vxini>',
        '  <s n="app_sign" v="%s"/>' % xml_attribute(v('app_sign')),
        '  <x n="start_menu">',
        '    <s n="start_menu_group" v="%s"/>' % xml_attribute(group),
        '  </x>',
        '  <x n="desktop_links">',
        '    <i n="create_desktop_links" v="%d"/>' % desktop,
        '  </x>',
        '  <x n="autorun">',
        '    <i n="create_autorun_record" v="%d"/>' % cfg.flag(root, 'autorun', 'create_autorun_record'),
        '  </x>',
    ]
    out['record_lines'] = '\n'.join(record)
    out['has_par_proc'] = '1' if cfg.item(root, 'par_proc') is not None else ''

    # The console's lines before the files and after them.
    head = ['Завершение запущенных программ...'] * (cfg.flag(root, 'general', 'use_vx_close_event') +
                                                     cfg.flag(root, 'general', 'use_vx_close_event2'))
    head.append('Удаление предыдущей версии...')
    consts_file = v('general', 'vx_consts_file')
    if consts_file:
        head.append('Установка...')
    out['console_head'] = '\n'.join(head)
    out['console_tail'] = '\n'.join('Установка: ' + run
                                    for run in cfg.strings(root, 'install_redist', 'item', 'target_file'))

    # The user's data that an update keeps: the constants file and each
    # preserved entry that the payload does not carry and that holds no other.
    preserved = [p.replace('/', '\\') for p in cfg.strings(root, 'preserve', 'files')]
    user = []
    if consts_file:
        path = v('general', 'vx_consts_path').strip('\\')
        user.append((path + '\\' if path else '') + consts_file)
    for entry in preserved:
        parent = entry.upper() + '\\'
        if not exists(entry) and not any(p.upper().startswith(parent) for p in preserved):
            user.append(entry)
    seen = set()
    out['user_files'] = [u for u in user if not (u.upper() in seen or seen.add(u.upper()))]

    # Payload files that an update must bring back: one deleted, one changed
    # (never a program, which may be running).
    plain = [f for f in files if f.upper() not in {p.upper() for p in out['programs']}]
    out['removed_file'] = plain[0] if plain else ''
    out['changed_file'] = plain[-1] if len(plain) > 1 else ''
    out['folders'] = folders

    for name, value in out.items():
        if isinstance(value, list):
            print('%s=(%s)' % (name, ' '.join(shlex.quote(x) for x in value)))
        else:
            print('%s=%s' % (name, shlex.quote(value)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
