# Joins the --json reports of the shards of one job into one report of the same form:
#   jq -s -f merge-reports.jq shard-*.json > report.json
# Documents keep the order of the files given; folders every shard skipped are listed once.
(map(.skippedFolders[]) | unique) as $skipped
| {
    program: .[0].program,
    version: .[0].version,
    command: .[0].command,
    outputFolder: .[0].outputFolder,
    documents: map(.documents[]),
    skippedFolders: $skipped,
    summary: ((map(.summary) | reduce .[] as $s ({}; reduce ($s | keys[]) as $k (.; .[$k] += $s[$k])))
      + { skippedFolders: ($skipped | length) })
  }
