// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameSources.h"

#include "EnterpriseRegistry.h"

namespace brellan::names {

std::shared_ptr<const NameIndex> loadNames(const NameSources& sources, const ProblemSink& problem)
{
    auto names = std::make_shared<NameIndex>(loadModules(sources.moduleFolders, problem, sources.limits));
    names->addMissing(*builtInNames());
    if (!sources.enterpriseRegistry.empty())
        names->addMissing(readEnterpriseRegistry(sources.enterpriseRegistry, problem));
    return names;
}

} // namespace brellan::names
