"""Reads strict JSON on stdin, checks it against docs/cli-json.md for the command `list` or
`extract`, and prints it flattened: `path<TAB>value` per scalar (`path.#`: array size)."""
import json
import sys

# Per kind: the members of both commands, then those `extract` adds. s: text, i: integer,
# ?: or null, [kind]: array of kind.
SCHEMA = {
    'top': ('program:s version:s command:s documents:[document] skippedFolders:[skipped] '
            'summary:summary', 'outputFolder:s'),
    'summary': ('documents:i documentsFailed:i attachments:i skippedFolders:i',
                'attachmentsWritten:i attachmentsRenamed:i attachmentsOverwritten:i '
                'attachmentsUnchanged:i attachmentsSkipped:i attachmentsFailed:i bytesWritten:i'),
    'skipped': ('path:s reason:s', ''),
    'document': ('path:s status:s reason:s? attachmentCount:i invoice:invoice? repaired:b '
                 'warnings:[s] attachments:[attachment]',
                 'documentFolder:s? notes:[s]'),
    'invoice': ('standard:s version:s? profile:s? documentType:s? attachmentName:s? present:b '
                'attachmentIndex:i? declared:b syntax:s? guideline:s? typeCode:s? number:s? '
                'issueDate:s? seller:s? buyer:s? currency:s? grandTotal:s? duePayable:s?', ''),
    'attachment': (('index:i name:s key:s? description:s? mimeType:s? size:i? modified:s? page:i? '
                    'origin:s folder:s? afOwner:s? afRelationship:s? created:s?'),
                   'outputPath:s? status:s reason:s? bytesWritten:i sha256:s? storedInClear:b '
                   'checksum:s?'),
}


def check(value, kind, where):
    both, extra = SCHEMA[kind]
    members = dict(m.split(':') for m in (both + ' ' + extra * (mode == 'extract')).split())
    if kind == 'top' and mode == 'extract' and type(value) is dict and 'error' in value:
        members['error'] = 's'  # the run could not start
    if kind == 'document' and mode == 'extract' and type(value) is dict and 'nestedIn' in value:
        members.update(nestedIn='s', nesting='i')  # a document attached to another (--nested)
    if type(value) is not dict or set(value) != set(members):
        sys.exit(f'{where}: {value!r} does not have the members {sorted(members)}')
    for name, spec in members.items():
        item, here = value[name], f'{where}.{name}'
        if spec.strip('[]?') in SCHEMA:  # an object (or null), or an array of them
            if spec[-1] == '?' and item is None:
                continue
            elements = [item] if spec[0] != '[' else item if type(item) is list else [None]
            for i, element in enumerate(elements):
                check(element, spec.strip('[]?'), f'{here}.{i}')
        elif spec == '[s]':
            if type(item) is not list or any(type(text) is not str for text in item):
                sys.exit(f'{here}: {item!r} is not an array of texts')
        elif type(item) is not {'s': str, 'i': int, 'b': bool}[spec[0]] and (item, spec[-1]) != (None, '?'):
            sys.exit(f'{here}: {item!r} is not of the type {spec}')


def flatten(value, path):
    if type(value) is list:
        print(f'{path}.#\t{len(value)}')
        value = dict(enumerate(value))
    for key, item in value.items() if type(value) is dict else ():
        flatten(item, f'{path}.{key}' if path else str(key))
    if type(value) is not dict:
        print(f'{path}\t{json.dumps(value)}')


mode = sys.argv[1]
doc = json.loads(sys.stdin.buffer.read().decode('utf-8'),
                 parse_constant=lambda constant: sys.exit(f'{constant} is no JSON'))
check(doc, 'top', 'top')
flatten(doc, '')
